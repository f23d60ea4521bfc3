#include "app/kit/Dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "app/kit/QtPanel.h"

Dialog::Dialog(QWidget* parent, int templateId)
    : QDialog(parent), templateId_(templateId), panel_(std::make_shared<QtPanel>(this)) {}

Dialog::~Dialog() { panel_->detach(); }

void Dialog::registerItem(int id, QWidget* widget) {
    items_.insert(id, widget);
    widget->setProperty("controlId", id);
    if (auto* b = qobject_cast<QAbstractButton*>(widget))
        QObject::connect(b, &QAbstractButton::clicked, this, [this, id] { onCommand(id); });
}

QPushButton* Dialog::addButton(int id, const QString& text) { return add(id, new QPushButton(text, this)); }

void Dialog::setText(int id, const std::string& text) {
    QWidget* w = item(id);
    const QString t = q(text);
    if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(t);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(t);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(t);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setCurrentText(t);
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        g->setTitle(t);
}

std::string Dialog::text(int id) const {
    QWidget* w = item(id);
    if (auto* l = qobject_cast<QLabel*>(w)) return s(l->text());
    if (auto* e = qobject_cast<QLineEdit*>(w)) return s(e->text());
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return s(b->text());
    if (auto* c = qobject_cast<QComboBox*>(w)) return s(c->currentText());
    if (auto* g = qobject_cast<QGroupBox*>(w)) return s(g->title());
    if (auto* list = qobject_cast<QListWidget*>(w))
        return list->currentItem() ? s(list->currentItem()->text()) : std::string();
    return {};
}

void Dialog::enable(int id, bool on) {
    if (QWidget* w = item(id)) w->setEnabled(on);
}

bool Dialog::isEnabled(int id) const {
    QWidget* w = item(id);
    return w && w->isEnabled();
}

void Dialog::setIndicator(int id, int value) {
    if (QWidget* w = item(id))
        w->setStyleSheet(value ? "color: #00AA00; background: white;" : "color: #D00000; background: white;");
}

bool Dialog::isChecked(int id) const {
    auto* b = qobject_cast<QAbstractButton*>(item(id));
    return b && b->isChecked();
}

void Dialog::setChecked(int id, bool on) {
    if (auto* b = qobject_cast<QAbstractButton*>(item(id))) b->setChecked(on);
}

int Dialog::checkState(int id) const {
    if (auto* c = qobject_cast<QCheckBox*>(item(id)))
        return c->checkState() == Qt::PartiallyChecked ? 2 : c->checkState() == Qt::Checked ? 1 : 0;
    return isChecked(id) ? 1 : 0;
}

void Dialog::setCheckState(int id, int state) {
    if (auto* c = qobject_cast<QCheckBox*>(item(id))) {
        if (state == 2) c->setTristate(true);
        c->setCheckState(state == 2 ? Qt::PartiallyChecked : state ? Qt::Checked : Qt::Unchecked);
        return;
    }
    setChecked(id, state == 1);
}

void Dialog::setTimer(int id, int ms, bool singleShot) {
    QTimer*& t = timers_[id];
    if (!t) {
        t = new QTimer(this);
        QObject::connect(t, &QTimer::timeout, this, [this, id] {
            if (timers_.value(id) && timers_.value(id)->isSingleShot()) timers_.value(id)->stop();
            onTimer(id);
        });
    }
    t->setSingleShot(singleShot);
    t->start(ms);
}

void Dialog::stopTimer(int id) {
    if (QTimer* t = timers_.value(id)) t->stop();
}

bool Dialog::timerActive(int id) const {
    QTimer* t = timers_.value(id);
    return t && t->isActive();
}

void Dialog::onCommand(int) {}
void Dialog::onTimer(int) {}
