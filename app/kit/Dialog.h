#pragma once
#include <QDialog>
#include <QHash>
#include <QString>
#include <initializer_list>
#include <span>
#include <string>

#include "util/Form.h"


class QAbstractButton;
class QPushButton;
class QTimer;

#include "app/kit/QtPanel.h"

// The base of every window: controls are found by their numbers, timers are
// started and stopped by id and arrive as onTimer(id), button presses arrive
// as onCommand(id). Tests and the script runner use the same numbers. The
// logic beside a window talks to it through its panel(), from any thread;
// the window's own code calls the methods below on the interface thread.
class Dialog : public QDialog {
public:
    explicit Dialog(QWidget* parent = nullptr, int templateId = 0);
    ~Dialog() override;

    // What the window's logic and procedures hold on to; it outlives the window.
    std::shared_ptr<QtPanel> panel() const { return panel_; }

    int templateId() const { return templateId_; }

    // Registers a control under its number (a button's clicks become commands).
    template <class W>
    W* add(int id, W* widget) {
        registerItem(id, widget);
        return widget;
    }
    QWidget* item(int id) const { return items_.value(id, nullptr); }
    template <class W>
    W* itemAs(int id) const {
        return qobject_cast<W*>(item(id));
    }
    QPushButton* addButton(int id, const QString& text);

    virtual void setText(int id, const std::string& text);
    std::string text(int id) const;
    void enable(int id, bool on);
    void setIndicator(int id, int value);
    bool isEnabled(int id) const;
    bool isChecked(int id) const;
    void setChecked(int id, bool on);
    // 0 clear, 1 checked, 2 the third (indeterminate) state of a check box.
    int checkState(int id) const;
    void setCheckState(int id, int state);

    // What logic fills (util/Form.h) shown on the controls it names: combo
    // entries (the refused one greyed), selections, checks, texts, enabled
    // and visible. Showing is not a change: the controls' signals are held
    // meanwhile. A button's caption changes only for a non-empty text.
    void showForm(const Form& form);
    // The same read back from the controls `ids`.
    Form readForm(std::span<const int> ids) const;
    Form readForm(std::initializer_list<int> ids) const { return readForm(std::span(ids.begin(), ids.size())); }

    void setTimer(int id, int ms, bool singleShot = false);
    void stopTimer(int id);
    bool timerActive(int id) const;

    // What a click on the control does; public so that the script runner and
    // tests press buttons exactly as the user does.
    virtual void onCommand(int id);
    virtual void onTimer(int id);

protected:
    void registerItem(int id, QWidget* widget);

private:
    int templateId_;
    std::shared_ptr<QtPanel> panel_;
    QHash<int, QWidget*> items_;
    QHash<int, QTimer*> timers_;
};

// Qt text <-> core text.
inline QString q(const std::string& s) { return QString::fromStdString(s); }
inline std::string s(const QString& q) { return q.toStdString(); }
