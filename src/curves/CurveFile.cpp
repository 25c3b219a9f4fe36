#include "CurveFile.h"

#include <QFileInfo>

namespace {

const QString kTaken = "a file of that name is there already";

}  // namespace

// A part still open when its run is dropped (the program ends in the middle of a
// run) stays under its ".part" name.
CurveFile::~CurveFile() = default;

bool CurveFile::fail(const QString& what, const QString& why) {
  if (error_.empty()) error_ = (what + " " + path_ + ": " + why).toStdString();
  discard();
  return false;
}

bool CurveFile::open() {
  if (QFileInfo::exists(path_)) {
    error_ = ("cannot create " + path_ + ": " + kTaken).toStdString();
    return false;
  }
  // Beside the session's backup: readable by the user alone, as the backup is.
  if (!part_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
    if (error_.empty()) error_ = ("cannot create " + path_ + ": " + part_.errorString()).toStdString();
    return false;
  }
  created_ = true;
  return true;
}

bool CurveFile::write(const QByteArray& bytes) {
  if (failed() || !part_.isOpen()) return false;
  // A short write is followed by one that fails with the reason.
  for (qsizetype done = 0; done < bytes.size();) {
    const qint64 n = part_.write(bytes.constData() + done, bytes.size() - done);
    if (n <= 0) return fail("cannot write", part_.errorString());
    done += n;
  }
  return true;
}

bool CurveFile::commit() {
  if (failed()) return false;
  if (!part_.isOpen()) return fail("cannot write", "not open");
  if (part_.error() != QFileDevice::NoError) return fail("cannot write", part_.errorString());
  part_.close();
  if (part_.error() != QFileDevice::NoError) return fail("cannot write", part_.errorString());
  if (QFileInfo::exists(path_)) return fail("cannot write", kTaken);
  if (!part_.rename(path_)) return fail("cannot write", part_.errorString());
  return true;
}

void CurveFile::discard() {
  part_.close();
  if (created_ && part_.fileName() != path_) QFile::remove(part_.fileName());
  created_ = false;
}
