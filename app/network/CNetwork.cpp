#include "app/network/CNetwork.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/network/CSearchPage.h"
#include "network/CNetworkIds.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"

using namespace netwin;

namespace {
// The page inside the main window, which the modal dialog's SAVE shows afresh.
QPointer<CNetwork> gPage;

bool isBox(int id) { return (id >= kFirstBox && id < kFirstBox + kBoxes) || id == kBox247; }
}  // namespace

CNetwork::CNetwork(QWidget* parent, bool modal)
    : Page(parent, modal ? kModalTemplate : kPageTemplate, "Detector Network"),
      logic_(std::make_unique<NetworkPage>(panel(), modal, kParamIni)) {
    auto* layout = new QVBoxLayout(this);
    auto* range = add(kRangeCaption, new QGroupBox(this));
    auto* pages = new QHBoxLayout(range);
    for (int i = 0; i < kPages; ++i) {
        auto* b = addButton(kPageButton + i, {});
        b->setCheckable(true);
        pages->addWidget(b);
    }
    layout->addWidget(range);

    auto* boxes = new QGridLayout;
    for (int i = 0; i < kBoxes; ++i) boxes->addWidget(add(kFirstBox + i, new QCheckBox(this)), i / 10, i % 10);
    boxes->addWidget(add(kBox247, new QCheckBox(this)), kBoxes / 10, 0);
    layout->addLayout(boxes);

    auto* buttons = new QHBoxLayout;
    for (int id : {kSave, kClearAllPages, kSetPage, kClearPage, kSaveAsStartup, kSearchPage}) buttons->addWidget(addButton(id, {}));
    layout->addLayout(buttons);

    for (const auto& [id, text] : NetworkCaptions(Shell().host.textVariant)) setText(id, text);
    logic_->init();
    if (!modal) gPage = this;
}

CNetwork::~CNetwork() = default;

void CNetwork::setText(int id, const std::string& text) {
    Page::setText(id, text);
    if (id >= kFirstBox && id < kFirstBox + kBoxes) item(id)->setVisible(!text.empty());
}

void CNetwork::onCommand(int id) {
    // A click moves a box from clear or indeterminate to checked, and from checked to clear.
    if (isBox(id) && checkState(id) == 2) setCheckState(id, 1);
    if (id == kSearchPage) {
        logic_->command(id);
        searchPage();
        return;
    }
    if (!logic_->command(id)) return;
    // SAVE in the modal dialog: the page inside the main window shows the saved states.
    if (gPage) gPage->logic_->init();
    accept();
}

void CNetwork::searchPage() {
    const auto [first, last] = logic_->beginSearch();
    CSearchPage search(first, last, [panel = panel(), first = first](unsigned address) {
        panel->setCheck(kFirstBox + static_cast<int>(address - first), 0);
    }, this);
    search.exec();
    logic_->endSearch(search.search().found(), search.search().lastProbed(), search.search().addAll());
}
