#include "PortSettingsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ProfileFile.h"
#include "frmCom.h"

namespace {

const char* const kSection = "PORTS";

std::string keyOf(int16_t portNo) { return "COM" + std::to_string(portNo); }

QString q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

PortSettingsDialog::PortSettingsDialog(std::string profilePath, const SerialPortList& ports, QWidget* parent)
    : QDialog(parent), profilePath_(std::move(profilePath)), ports_(ports) {
  setWindowTitle("Port Settings");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Serial devices present:", this));
  buildTable();
  layout->addWidget(portTable_);

  auto* form = new QFormLayout;
  for (int16_t n = FirstPort; n <= LastPort; ++n) {
    auto* box = new QComboBox(this);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumContentsLength(40);
    box->lineEdit()->setPlaceholderText(q(frmCom::DefaultDevicePath(n)));
    const size_t i = static_cast<size_t>(n - FirstPort);
    saved_[i] = ProfileFile::ReadString(profilePath_, kSection, keyOf(n), "");
    mappings_[i] = box;
    form->addRow(QString("COM %1:").arg(n), box);
  }
  layout->addLayout(form);

  status_ = new QLabel(this);
  status_->setWordWrap(true);
  layout->addWidget(status_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &PortSettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PortSettingsDialog::reject);
  layout->addWidget(buttons);

  shown_ = ports_.Ports();
  fillTable();
  fillChoices();
  for (size_t i = 0; i < mappings_.size(); ++i) mappings_[i]->setEditText(q(saved_[i]));

  pollTimer_.setInterval(PollIntervalMs);
  connect(&pollTimer_, &QTimer::timeout, this, &PortSettingsDialog::refreshPorts);
  pollTimer_.start();
}


void PortSettingsDialog::buildTable() {
  portTable_ = new QTableWidget(0, 6, this);
  portTable_->setHorizontalHeaderLabels({"Device", "Stable path", "Description", "Maker", "VID:PID", "Serial number"});
  portTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  portTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
  portTable_->verticalHeader()->hide();
  portTable_->horizontalHeader()->setStretchLastSection(true);
}

void PortSettingsDialog::refreshPorts() {
  std::vector<SerialPortEntry> now = ports_.Ports();
  if (now == shown_) return;
  shown_ = std::move(now);
  fillTable();
  fillChoices();
}

void PortSettingsDialog::fillTable() {
  portTable_->setRowCount(static_cast<int>(shown_.size()));
  int row = 0;
  for (const SerialPortEntry& p : shown_) {
    const std::string cells[] = {p.device, p.stablePath, p.description, p.maker, p.VidPid(), p.serialNumber};
    for (int column = 0; column < 6; ++column) portTable_->setItem(row, column, new QTableWidgetItem(q(cells[column])));
    ++row;
  }
  portTable_->resizeColumnsToContents();
}

// Every present device under its stable path first, then its plain name; what
// was typed stays.
void PortSettingsDialog::fillChoices() {
  QStringList choices;
  for (const SerialPortEntry& p : shown_)
    if (!p.stablePath.empty()) choices << q(p.stablePath);
  for (const SerialPortEntry& p : shown_) choices << q(p.device);
  for (QComboBox* box : mappings_) {
    const QString typed = box->currentText();
    box->clear();
    box->addItems(choices);
    box->setEditText(typed);
  }
}

bool PortSettingsDialog::save() {
  for (int16_t n = FirstPort; n <= LastPort; ++n) {
    const size_t i = static_cast<size_t>(n - FirstPort);
    const std::string value = mappings_[i]->currentText().trimmed().toStdString();
    if (value == saved_[i]) continue;
    std::string refusal;
    if (!ProfileFile::WriteString(profilePath_, kSection, keyOf(n), value, &refusal)) {
      const std::string why = refusal.empty() ? "it cannot be written" : refusal;
      status_->setText(q("Cannot save COM " + std::to_string(n) + " in " + profilePath_ + ": " + why + "."));
      return false;
    }
    saved_[i] = value;
  }
  return true;
}

void PortSettingsDialog::accept() {
  if (save()) QDialog::accept();
}
