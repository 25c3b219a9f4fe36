#pragma once
// A file of a curve run, written under "<name>.part" and renamed to its name only
// when whole. An existing file of that name is never replaced; a part that failed
// is removed.
#include <QFile>
#include <QString>
#include <string>

class CurveFile {
 public:
  explicit CurveFile(const QString& path) : path_(path), part_(path + ".part") {}
  ~CurveFile();
  CurveFile(const CurveFile&) = delete;
  CurveFile& operator=(const CurveFile&) = delete;

  // False, with the reason in error(), when the part cannot be created.
  bool open();
  // Written at once (nothing waits in a buffer); false from the first failure on.
  bool write(const QByteArray& bytes);
  // Closes the part and gives it its name; false with the reason when it cannot.
  bool commit();
  // Given up: the part is removed.
  void discard();

  const QString& path() const { return path_; }
  const std::string& error() const { return error_; }
  bool failed() const { return !error_.empty(); }

 private:
  bool fail(const QString& what, const QString& why);

  QString path_;
  QFile part_;
  std::string error_;
  bool created_ = false;
};
