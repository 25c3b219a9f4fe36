#pragma once
// Typed values in one section of one profile file.
//
// Kinds of value: int16_t, int32_t, float, double, ProfileCurrency, uint8_t,
// ProfileDateTime, std::string (a text literal counts as one when saved or given as a
// default) and bool. Any other kind is refused at run time: saveData writes nothing
// and loadData reads nothing, both returning false.
//
// Paths: the utility's own directory is the per-user configuration directory
// ($XDG_CONFIG_HOME/ravlen-adj, else ~/.config/ravlen-adj). GetPathName keeps its
// backslash form (C:\dir\file.ini gives C:\dir); setFullPath and SetCurrentPath store
// Path with the platform separator "/" at its end (none added to a bare "/").
// GetFileName takes the part after the last "\", "/" or ":".
//
// A load that fails (empty text, or a text that does not convert) leaves the default
// in the variable: the given one, else the variable's own value.
//
// A save refused because the file is not a profile (see ProfileFile) prints one line
// on standard error naming the file and the reason; the same refusal again for the
// same file is not repeated.
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "ProfileValueTypes.h"

template <typename T>
inline constexpr bool IsProfileValueKind =
    std::is_same_v<T, int16_t> || std::is_same_v<T, int32_t> || std::is_same_v<T, float> ||
    std::is_same_v<T, double> || std::is_same_v<T, ProfileCurrency> || std::is_same_v<T, uint8_t> ||
    std::is_same_v<T, ProfileDateTime> || std::is_same_v<T, std::string> || std::is_same_v<T, bool>;

// The kind of a value handed in: text literals and character pointers are texts.
template <typename T>
using ProfileKindOf =
    std::conditional_t<std::is_same_v<std::decay_t<T>, const char*> || std::is_same_v<std::decay_t<T>, char*>,
                       std::string, std::remove_cvref_t<T>>;

class clsCmcProfileIO {
 public:
  // The platform read hands back at most this many characters minus one.
  static constexpr size_t ReadBufferSize = 255;

  const std::string& Name() const { return name_; }
  void setName(const std::string& v) { name_ = v; }
  const std::string& Path() const { return path_; }
  void setPath(const std::string& v) { path_ = v; }
  const std::string& Section() const { return section_; }
  void setSection(const std::string& v) { section_ = v; }

  std::string FullPath() const { return GetMyProfile(); }
  void setFullPath(const std::string& text);

  // Path becomes the utility's own directory.
  void SetCurrentPath();
  std::string GetMyProfile() const { return path_ + name_; }

  // Writes the value's text under key in Section; false when the kind is not stored
  // or the file could not be written.
  template <typename T>
  bool saveData(const std::string& key, const T& value) {
    using Kind = ProfileKindOf<T>;
    if constexpr (!IsProfileValueKind<Kind>) {
      return false;
    } else if constexpr (!std::is_same_v<Kind, std::remove_cvref_t<T>>) {
      const char* text = value;
      if (text == nullptr) return false;
      return writeText(key, std::string(text));
    } else {
      return writeText(key, ToText(value));
    }
  }

  // Reads key from Section into variable; its current value is the default.
  template <typename T>
  bool loadData(const std::string& key, T& variable) {
    if constexpr (!IsProfileValueKind<T>) {
      return false;
    } else {
      return loadWithDefaultText(key, variable, DefaultText(variable));
    }
  }

  // Reads key from Section into variable; the default must be of the variable's kind.
  template <typename T, typename D>
  bool loadData(const std::string& key, T& variable, const D& defaultValue) {
    if constexpr (!IsProfileValueKind<T> || !std::is_same_v<ProfileKindOf<D>, T>) {
      return false;
    } else if constexpr (!std::is_same_v<std::remove_cvref_t<D>, T>) {
      const char* text = defaultValue;
      if (text == nullptr) return false;
      if (loadWithDefaultText(key, variable, std::string(text))) return true;
      variable = std::string(text);
      return false;
    } else {
      if (loadWithDefaultText(key, variable, DefaultText(defaultValue))) return true;
      variable = defaultValue;
      return false;
    }
  }

  static std::string StripTerminator(const std::string& text);
  static std::string GetFileName(const std::string& path);
  static std::string GetPathName(const std::string& path);
  static std::string UCase16(const std::string& text) { return text; }

  // $XDG_CONFIG_HOME/ravlen-adj (an absolute XDG_CONFIG_HOME only), else
  // $HOME/.config/ravlen-adj; no separator at the end.
  static std::string UtilityDirectory();

  // Texts written to the file for each kind.
  static std::string ToText(int16_t v);
  static std::string ToText(int32_t v);
  static std::string ToText(float v);
  static std::string ToText(double v);
  static std::string ToText(const ProfileCurrency& v);
  static std::string ToText(uint8_t v);
  static std::string ToText(const ProfileDateTime& v);
  static std::string ToText(const std::string& v) { return v; }
  static std::string ToText(bool v) { return v ? "1" : "0"; }

  // Conversions of a read text; false leaves v unchanged. A date-time text that is
  // not 19 characters long leaves v unchanged and still succeeds.
  static bool FromText(const std::string& text, int16_t& v);
  static bool FromText(const std::string& text, int32_t& v);
  static bool FromText(const std::string& text, float& v);
  static bool FromText(const std::string& text, double& v);
  static bool FromText(const std::string& text, ProfileCurrency& v);
  static bool FromText(const std::string& text, uint8_t& v);
  static bool FromText(const std::string& text, ProfileDateTime& v);
  static bool FromText(const std::string& text, std::string& v);
  static bool FromText(const std::string& text, bool& v);

 private:
  // Defaults are handed to the file service as text; a date-time in its ordinary form.
  template <typename T>
  static std::string DefaultText(const T& v) {
    if constexpr (std::is_same_v<T, ProfileDateTime>) {
      return v.ToString();
    } else {
      return ToText(v);
    }
  }

  template <typename T>
  bool loadWithDefaultText(const std::string& key, T& variable, const std::string& defaultText) {
    const std::string text = readText(key, defaultText);
    if (text.empty()) return false;
    return FromText(withoutTrailingBlanks(StripTerminator(text)), variable);
  }

  bool writeText(const std::string& key, const std::string& text);
  // At most ReadBufferSize - 1 characters of the key's text, or of the default.
  std::string readText(const std::string& key, const std::string& defaultText) const;
  static std::string withoutTrailingBlanks(const std::string& text);
  // GetPathName's rule with either separator; the other one is read as this one.
  static std::string directoryPart(const std::string& path, char separator);

  std::string name_ = "Profile.INI";
  std::string path_;
  std::string section_;
  std::string lastRefusal_;  // file and reason last printed
};
