#pragma once
#include <string>
#include <vector>

#include "app/kit/Dialog.h"
#include "shell/PagesIds.h"

// A feature page: a child dialog shown over the tab area of the main window.
// Pages that later work fills in are plain captioned pages until then.
class Page : public Dialog {
public:
    Page(QWidget* parent, int templateId, const std::string& caption);
    // Timer 1 of the main window: the page is shown again for the current detector.
    virtual void refresh() {}
    // F1: what the page says about the control that has the focus (0: none).
    virtual std::string helpText(int /*focusedControl*/) const { return {}; }
    void showHelp();

protected:
    // Esc inside a page belongs to the main window (its exit sequence).
    void keyPressEvent(QKeyEvent* event) override;
};

// One entry of a page group: the tab text, the tree text and the page.
struct PageEntry {
    std::string tab;
    std::string tree;
    int page;
};
// The four groups (SELECT, STATUS, SETUP, VERSION) for a text variant; the
// "Recording" entry shows the UV/IR thresholds page for UV/IR models.
std::vector<std::vector<PageEntry>> PageGroups(int textVariant);
