#include "app/config/CFOV.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <string>

using namespace fovwin;

CFOV::CFOV(const FovThresholds& values, const std::optional<FovInitialState>& initial,
           QWidget* parent)
    : Dialog(parent, kTemplate) {
    setWindowTitle("FOV Parameters");
    auto* columns = new QHBoxLayout(this);
    columns->setSizeConstraint(QLayout::SetFixedSize);  // the window follows the panel

    auto* main = new QGridLayout;
    int row = 0;
    for (const Slider& s : kSliders) {
        auto* slider = add(s.slider, new QSlider(Qt::Horizontal, this));
        slider->setRange(s.min, s.max);
        slider->setMinimumWidth(180);
        auto* value = add(s.value, new QLabel(this));
        value->setMinimumWidth(30);
        QObject::connect(slider, &QSlider::valueChanged, this,
                         [this, id = s.value](int v) { setText(id, std::to_string(v)); });
        // Shown clamped: a record's value beyond the range cannot sit on the slider.
        const int v = std::clamp<int>(values.*s.field, s.min, s.max);
        slider->setValue(v);
        setText(s.value, std::to_string(v));
        main->addWidget(new QLabel(s.label, this), row, 0);
        main->addWidget(slider, row, 1);
        main->addWidget(value, row++, 2);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton(kOk, "OK"));
    buttons->addWidget(addButton(kCancel, "Cancel"));
    buttons->addStretch();
    buttons->addWidget(addButton(kMore, ">"));
    itemAs<QPushButton>(kOk)->setDefault(true);
    main->addLayout(buttons, row, 0, 1, 3);
    columns->addLayout(main);

    auto* panel = add(kInitialState, new QGroupBox("Initial State", this));
    auto* xyz = new QGridLayout(panel);
    const int ids[] = {kX, kY, kZ};
    for (int i = 0; i < 3; ++i) {
        xyz->addWidget(new QLabel(QString(QChar('X' + i)), this), i, 0);
        auto* value = add(ids[i], new QLabel(this));
        value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        value->setMinimumWidth(40);
        if (initial) value->setText(QString::number((*initial)[static_cast<size_t>(i)]));
        xyz->addWidget(value, i, 1);
    }
    columns->addWidget(panel);
    panel->hide();
}

void CFOV::showInitialState(bool on) {
    item(kInitialState)->setVisible(on);
    setText(kMore, on ? "<" : ">");
}

void CFOV::onCommand(int id) {
    switch (id) {
        case kOk: {
            FovThresholds chosen;
            for (const Slider& s : kSliders)
                chosen.*s.field = static_cast<uint8_t>(itemAs<QSlider>(s.slider)->value());
            result_ = chosen;
            accept();
            break;
        }
        case kCancel:
            reject();
            break;
        case kMore:
            showInitialState(item(kInitialState)->isHidden());
            break;
        default:
            Dialog::onCommand(id);
    }
}

std::optional<FovThresholds> CFOV::Ask(const FovThresholds& values,
                                       const std::optional<FovInitialState>& initial,
                                       QWidget* parent) {
    CFOV dialog(values, initial, parent);
    dialog.exec();
    return dialog.result();
}
