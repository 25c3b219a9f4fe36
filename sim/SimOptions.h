#pragma once
// Command-line options of the ravlen-sim program.
#include <optional>
#include <string>
#include <vector>

#include "TransceiverSettings.h"

struct SimOptions {
  TransceiverSettings rig;
  bool mid = false;
  std::string imagePath;
  std::string saveImagePath;
  std::string linkPath;
  bool trace = false;
  bool help = false;
  bool version = false;

  // Nothing (and error set) when the arguments are not understood or the settings
  // they give are invalid. args excludes the program name.
  static std::optional<SimOptions> parse(const std::vector<std::string>& args,
                                         std::string& error);
  static std::string helpText();
  static std::string versionText();
};
