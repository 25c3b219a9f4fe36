#pragma once
// While it lives, the detail box records its text and details instead of showing them.
#include <string>
#include <utility>
#include <vector>

#include "Common.h"

class DetailBoxRecorder {
 public:
  DetailBoxRecorder()
      : previous_(Common::SetMsgBoxDetailHandler([this](const std::string& text, const std::string& details) {
          shown.emplace_back(text, details);
          return Common::ButtonOk;
        })) {}
  ~DetailBoxRecorder() { Common::SetMsgBoxDetailHandler(previous_); }
  DetailBoxRecorder(const DetailBoxRecorder&) = delete;
  DetailBoxRecorder& operator=(const DetailBoxRecorder&) = delete;

  std::vector<std::pair<std::string, std::string>> shown;

 private:
  Common::MsgBoxDetailHandler previous_;
};
