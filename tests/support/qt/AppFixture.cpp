#include "AppFixture.h"

#include <QDir>
#include <QFile>

#include "Globals.h"
#include "frmCom.h"
#include "start.h"

AppFixture::AppFixture() {
  qputenv("XDG_CONFIG_HOME", configDir.path().toUtf8());
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toUtf8());
  Globals::tearDown();
  Globals::setSerialFactory([this] {
    auto control = std::make_unique<FakeSerialControl>();
    serial = control.get();
    return control;
  });
  previousBox_ = Common::SetMsgBoxHandler([this](const std::string& text) {
    messages.push_back(text);
    return Common::ButtonOk;
  });
}

AppFixture::~AppFixture() {
  Globals::tearDown();
  Globals::setSerialFactory({});
  start::ReleaseInstanceLock();
  Common::SetMsgBoxHandler(previousBox_);
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("XDG_RUNTIME_DIR");
}

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
