#include "app/kit/Dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/kit/QtPanel.h"

namespace {

QStandardItemModel* entries(QComboBox* combo) { return qobject_cast<QStandardItemModel*>(combo->model()); }

void showCombo(QComboBox* combo, const ControlState& state) {
    if (!state.items.empty()) {
        combo->clear();
        for (const std::string& item : state.items) combo->addItem(q(item));
    }
    if (QStandardItemModel* model = entries(combo))
        for (int i = 0; i < model->rowCount(); ++i) model->item(i)->setEnabled(i != state.disabledItem);
    combo->setCurrentIndex(state.value < combo->count() ? state.value : -1);
}

void showButton(QAbstractButton* button, const ControlState& state) {
    if (!state.text.empty()) button->setText(q(state.text));
    if (!button->isCheckable()) return;
    if (state.value != 0) {
        button->setChecked(true);
        return;
    }
    // A radio group may be left without a choice.
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(exclusive);
}

}  // namespace

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
        w->setStyleSheet(value == 2 ? "color: rgb(240, 220, 10); background: white;"
                         : value    ? "color: #00AA00; background: white;"
                                    : "color: #D00000; background: white;");
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

void Dialog::showForm(const Form& form) {
    std::vector<std::unique_ptr<QSignalBlocker>> held;
    for (const auto& [id, state] : form)
        if (QWidget* w = item(id)) held.push_back(std::make_unique<QSignalBlocker>(w));
    for (const auto& [id, state] : form) {
        QWidget* w = item(id);
        if (!w) continue;
        if (auto* combo = qobject_cast<QComboBox*>(w))
            showCombo(combo, state);
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            showButton(button, state);
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            edit->setText(q(state.text));
        else if (auto* label = qobject_cast<QLabel*>(w))
            label->setText(q(state.text));
        w->setEnabled(state.enabled);
        w->setVisible(state.visible);
    }
}

Form Dialog::readForm(std::span<const int> ids) const {
    Form form;
    for (int id : ids) {
        QWidget* w = item(id);
        if (!w) continue;
        ControlState& state = form[id];
        state.enabled = w->isEnabled();
        state.visible = !w->isHidden();
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            state.value = combo->currentIndex();
            state.text = s(combo->currentText());
            for (int i = 0; i < combo->count(); ++i) {
                state.items.push_back(s(combo->itemText(i)));
                if (QStandardItemModel* model = entries(combo);
                    state.disabledItem < 0 && model && !(model->item(i)->flags() & Qt::ItemIsEnabled))
                    state.disabledItem = i;
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            state.value = button->isChecked() ? 1 : 0;
            state.text = s(button->text());
        } else {
            state.text = text(id);
        }
    }
    return form;
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
