#include "app/monitor/CComment.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "monitor/FireThreshIds.h"

using namespace firewin;

CComment::CComment(std::string& comment, QWidget* parent) : Dialog(parent, kCommentTemplate), comment_(comment) {
    setWindowTitle("Insert Comment into Recording Log");
    auto* layout = new QVBoxLayout(this);
    auto* edit = add(kCommentEdit, new QLineEdit(q(comment), this));
    edit->setMaxLength(kCommentLimit);
    edit->setMinimumWidth(360);
    layout->addWidget(edit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(addButton(IDOK, "Insert"));
    buttons->addWidget(addButton(IDCANCEL, "Cancel"));
    layout->addLayout(buttons);
    itemAs<QPushButton>(IDOK)->setDefault(true);
    // The template's caption speaks of the recording log; the box is about any open log.
    setWindowTitle("Insert Comment into Log");
}

void CComment::onCommand(int id) {
    if (id == IDOK) {
        // The edit holds at most 259 characters.
        comment_ = text(kCommentEdit);
        accept();
    } else if (id == IDCANCEL) {
        reject();
    }
}
