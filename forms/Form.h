#pragma once
// The life of the program's windows. Each window (the main window, the
// editor, the search window, the about box, the report) is one program-wide
// instance of its class, created on first use.
//
// - Showing a window that is not loaded loads it first (as Load() does): its
//   load step runs before the window first appears. A load step that refuses
//   leaves the window unloaded and unseen.
// - Showing a loaded window only brings it to the front.
// - Closing a window unloads it: its unload step runs. An instance created on
//   first use is released then, so the next use creates it afresh with its
//   controls as designed.
// - The program ends when no window of it remains loaded (run() below), not
//   when the last visible one closes: the main window may be loaded but
//   hidden in the tray while another window closes.

#include <QCloseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace numora::forms {

// Runs the program's event loop until no window of it remains loaded (not at
// all when none is), then the end step, then releases every window created on
// first use. Returns the event loop's result, 0 when it did not run.
int run(const std::function<void()>& endStep = {});

// How many windows of the program are loaded.
int loadedCount();

namespace detail {
void formLoaded();
void formUnloaded();
// The program's end is the windows' business from the first window on:
// closing the last visible window ends nothing by itself.
void takeOverProgramEnd();
// A window created on first use, released by run() at the end at the latest.
void own(QWidget* form);
} // namespace detail

// The base of a program-wide window: Self is the window's class, Widget the
// Qt widget it is (QMainWindow, QWidget, QDialog).
template <class Self, class Widget>
class Form : public Widget {
public:
    // The program-wide instance: the first of its class constructed and not
    // yet released, created (not loaded) on first use.
    static Self& instance()
    {
        if (!current_) {
            auto* created = new Self();
            created->owned_ = true;
            detail::own(created);
        }
        return *existingInstance();
    }
    static Self* existingInstance() { return static_cast<Self*>(current_.data()); }

    bool isLoaded() const { return loaded_; }

    // Loads the window without showing it; nothing when it is loaded already.
    // False when its load step refused.
    bool Load()
    {
        if (!loaded_) {
            loaded_ = true;
            detail::formLoaded();
            if (!Form_Load())
                unload();
        }
        return loaded_;
    }

    void setVisible(bool visible) override
    {
        if (visible && !Load())
            return;
        Widget::setVisible(visible);
        if (visible) {
            this->raise();
            this->activateWindow();
        }
    }

protected:
    explicit Form(QWidget* parent = nullptr) : Widget(parent)
    {
        if (!current_)
            current_ = this;
        detail::takeOverProgramEnd();
    }
    ~Form() override
    {
        if (loaded_)
            detail::formUnloaded();
    }

    // The load step, run by the first showing before the window appears.
    // False refuses: the window unloads unseen.
    virtual bool Form_Load() = 0;
    // The unload step, run as the window unloads.
    virtual void Form_Unload() {}

    // A window that hides when minimised calls this from its changeEvent:
    // once the state change has settled, a window still minimised is hidden,
    // and shows neither on screen nor in the task bar until shown again.
    void hideWhenMinimised(const QEvent* event)
    {
        if (event->type() != QEvent::WindowStateChange || !this->isMinimized())
            return;
        QTimer::singleShot(0, this, [this] {
            if (this->isMinimized())
                this->hide();
        });
    }

    void closeEvent(QCloseEvent* event) override
    {
        event->accept();
        if (loaded_)
            unload();
        if (owned_) {
            // The next use creates the window afresh.
            if (current_ == this)
                current_ = nullptr;
            this->deleteLater();
        }
    }

private:
    void unload()
    {
        Form_Unload();
        loaded_ = false;
        detail::formUnloaded();
    }

    bool loaded_ = false;
    bool owned_ = false;
    static inline QPointer<QObject> current_;
};

} // namespace numora::forms
