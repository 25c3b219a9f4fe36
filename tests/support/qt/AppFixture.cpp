#include "AppFixture.h"

#include <QDir>
#include <QFile>

#include "Globals.h"
#include "frmCom.h"

AppFixture::AppFixture()
    : GlobalsFixture([this] {
        auto control = std::make_unique<FakeSerialControl>();
        serial = control.get();
        return control;
      }) {}

std::string AppFixture::profilePath() const {
  return configDir.path().toStdString() + "/ravlen-adj/TB4410K.rs";
}

void AppFixture::writeProfile(const std::string& text) const {
  QDir().mkpath(configDir.path() + "/ravlen-adj");
  QFile f(QString::fromStdString(profilePath()));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text.data(), static_cast<qint64>(text.size()));
}

std::string AppFixture::readProfile() const {
  QFile f(QString::fromStdString(profilePath()));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

void AppFixture::tick(int32_t ms) {
  clock.advance(ms);
  Globals::com().timSolid_Timer();
}
