#include "GlobalBridge.h"

#include "Globals.h"
#include "clsIndOp_RigVela.h"
#include "frmMain.h"

void GlobalBridge::task() { Globals::mainWindow().task(); }

void GlobalBridge::ReportError() { Globals::mainWindow().MsgBoxCloneErr(Globals::seq()); }

void GlobalBridge::saveData(clsCmcProfileIO& profile) { Globals::mainWindow().saveData(profile); }

void GlobalBridge::loadData(clsCmcProfileIO& profile) { Globals::mainWindow().loadData(profile); }

bool GlobalBridge::RigOpFunc_CheckSubNameLegal(const std::string& nameS) {
  return Globals::model().RigOpFunc_CheckSubNameLegal(nameS);
}

void GlobalBridge::setRigVelaOp_Digital_Option(bool st) { Globals::model().setRigVelaOp_Digital_Option(st); }

void GlobalBridge::MsgBoxCloneErr(clsCmcLnk3Sequence& seq) { Globals::mainWindow().MsgBoxCloneErr(seq); }
