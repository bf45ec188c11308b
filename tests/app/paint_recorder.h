#pragma once

#include <QEvent>
#include <QLabel>
#include <QObject>

#include <string>
#include <vector>

namespace velbrook::test {

// Records the text a label shows each time it is painted.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(QLabel* label) : label_(label) { label_->installEventFilter(this); }
  ~PaintRecorder() override { label_->removeEventFilter(this); }

  std::vector<std::string> painted;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == label_ && event->type() == QEvent::Paint) painted.push_back(label_->text().toStdString());
    return false;
  }

 private:
  QLabel* label_;
};

}  // namespace velbrook::test
