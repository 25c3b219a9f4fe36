#pragma once
// SIGTERM, SIGHUP and SIGINT taken into the event loop: the handler only writes the
// signal's number to a socket pair, and a notifier on the other end calls OnSignal
// from the loop. A signal ignored when the program started (nohup) stays ignored.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

class EndingSignals : public QObject {
  Q_OBJECT
 public:
  explicit EndingSignals(QObject* parent = nullptr);
  ~EndingSignals() override;
  EndingSignals(const EndingSignals&) = delete;
  EndingSignals& operator=(const EndingSignals&) = delete;

  // False when the socket pair could not be made (the signals then act as by default).
  bool installed() const { return notifier_ != nullptr; }

  std::function<void(int signalNumber)> OnSignal;

 private:
  void readSignal();

  std::unique_ptr<QSocketNotifier> notifier_;
};
