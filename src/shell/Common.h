#pragma once
// Text and hex helpers shared by every layer, and the one message box entry.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

namespace Common {

inline constexpr const char* AppTitle = "Ravlen ADJ Rev.1.0";
inline constexpr int16_t ButtonOk = 1;

// Shows text in the modal critical box (title AppTitle, one OK button).
int16_t MsgBoxApp(const std::string& text);

// The box itself is replaceable: the utility installs its window box, tests a recorder.
// Returns the handler that was installed before.
using MsgBoxHandler = std::function<int16_t(const std::string& text)>;
MsgBoxHandler SetMsgBoxHandler(MsgBoxHandler handler);

// The same box with details below its text (shown on request). Without a detail
// box installed, the plain box shows the text alone.
int16_t MsgBoxApp(const std::string& text, const std::string& details);
using MsgBoxDetailHandler = std::function<int16_t(const std::string& text, const std::string& details)>;
MsgBoxDetailHandler SetMsgBoxDetailHandler(MsgBoxDetailHandler handler);

std::string ConvertNewLine(const std::string& text);
Bytes StrToBin(const std::string& text);
int16_t BinHexToInt(const uint8_t* chars, size_t count);
int16_t BinHexToInt(const Bytes& chars);
Bytes HexStrToBin(const std::string& text);
std::string BinToHexStr(const uint8_t* bytes, size_t count);
std::string BinToHexStr(const Bytes& bytes);
std::string ByteToAscHexStr(int16_t n);
std::string ByteToHexStr(int16_t n);

// Value of one hex digit character, or -1.
int HexDigitValue(uint8_t c);

}  // namespace Common
