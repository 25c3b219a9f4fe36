#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Common.h"

namespace {

TEST(MsgBoxDetails, GoToTheDetailBoxWhenThereIsOneElseTheTextAlone) {
  std::vector<std::string> plain;
  std::vector<std::pair<std::string, std::string>> detailed;
  const Common::MsgBoxHandler oldPlain = Common::SetMsgBoxHandler([&](const std::string& text) {
    plain.push_back(text);
    return Common::ButtonOk;
  });
  EXPECT_EQ(Common::MsgBoxApp("A\\nB", "why"), Common::ButtonOk);
  ASSERT_EQ(plain, std::vector<std::string>{"A\r\nB"});
  const Common::MsgBoxDetailHandler oldDetail =
      Common::SetMsgBoxDetailHandler([&](const std::string& text, const std::string& details) {
        detailed.emplace_back(text, details);
        return Common::ButtonOk;
      });
  Common::MsgBoxApp("C\\nD", "because");
  Common::MsgBoxApp("E", "");
  Common::SetMsgBoxDetailHandler(oldDetail);
  Common::SetMsgBoxHandler(oldPlain);
  ASSERT_EQ(detailed.size(), 1u);
  EXPECT_EQ(detailed[0], (std::pair<std::string, std::string>{"C\r\nD", "because"}));
  EXPECT_EQ(plain, (std::vector<std::string>{"A\r\nB", "E"}));
}

}  // namespace
