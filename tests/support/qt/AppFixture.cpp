#include "AppFixture.h"

#include "Globals.h"
#include "TestFiles.h"
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
  putFile(QString::fromStdString(profilePath()), QByteArray::fromStdString(text));
}

std::string AppFixture::readProfile() const { return fileBytes(QString::fromStdString(profilePath())).toStdString(); }

void AppFixture::tick(int32_t ms) {
  clock.advance(ms);
  Globals::com().timSolid_Timer();
}
