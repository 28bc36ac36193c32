#pragma once
// The program's application object. Every event handler of every window runs
// under it: a failure no handler dealt with (memory run out, a broken
// assumption of the program's own, any error a handler lets through) ends the
// event it escaped from, not the program. The user is told in a box and the
// failure is logged under numora.app; the program goes on.

#include <QApplication>

#include <exception>

namespace numora::forms {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// What the guard does with a failure that escaped: one log line and one box.
void reportEscaped(const std::exception& failure);

} // namespace numora::forms
