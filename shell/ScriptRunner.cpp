#include "shell/ScriptRunner.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <system_error>

#include "shell/CTesselDlgIds.h"
#include "shell/ShellState.h"
#include "shell/WindowSlots.h"
#include "util/Keyboard.h"
#include "util/Log.h"

namespace {

constexpr unsigned kPollMs = 100, kWaitPolls = 40;

std::vector<ScriptItem> builtIn() {
    using V = ScriptItem;
    std::vector<ScriptItem> items;
    for (const char* value : {"1", "15"}) {
        const ScriptItem pass[] = {
            {"Open Setup Dialog", 1, V::Click, 3016, "", 0, 0, false},
            {"Waitfor Setup Dialog", 4, V::Wait, 0, "", 0, 250, true},
            {"Set text", 4, V::SetText, 3302, value, 0, 250, false},
            {"Click 'Burn'", 4, V::Click, 1, "", 0, 4000, false},
            {"Burn Failed?:Error", 0, V::Wait, 0, "", 0, 5000, false},
            {"Click Ok:Error", 0, V::Click, 6, "", 0, 4000, true},
            {"Click 'Burn'", 4, V::Click, 1, "", 0, 4000, true},
            {"Waitfor !Setup Dialog", 4, V::WaitGone, 0, "", 0, 5000, false},
            {"Click BIT", 1, V::Click, 1965, "", 0, 1000, false},
        };
        items.insert(items.end(), std::begin(pass), std::end(pass));
    }
    return items;
}

std::string captionOf(const ScriptItem& item) {
    const size_t colon = item.name.find(':');
    return colon == std::string::npos ? std::string() : item.name.substr(colon + 1);
}

}  // namespace

const std::vector<ScriptItem>& BuiltInScript() {
    static const std::vector<ScriptItem> items = builtIn();
    return items;
}

ScriptRunner::ScriptRunner(std::shared_ptr<Panel> console, std::shared_ptr<ScriptWindows> windows,
                           std::vector<ScriptItem> items, ScriptOptions options)
    : console_(std::move(console)), windows_(std::move(windows)), items_(std::move(items)),
      options_(std::move(options)) {}

ScriptRunner::~ScriptRunner() { stop(); }

bool ScriptRunner::start() {
    if (running_.exchange(true)) return false;
    if (thread_.joinable()) thread_.join();
    stop_ = false;
    Shell().busy = true;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        DebugLog("Failed creating Thread...");
        Shell().busy = false;
        running_ = false;
        return false;
    }
    return true;
}

void ScriptRunner::stop() {
    stop_ = true;
    windows_->cancel();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void ScriptRunner::log(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    DebugLog("%s", line);
    console_->addLine(techdlg::kList, line);
}

void ScriptRunner::wait(unsigned ms) {
    if (options_.wait) return options_.wait(ms);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop_ && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void ScriptRunner::onTitleTimer() {
    titleFlip_ = !titleFlip_;
    console_->setTitle(Panel::kThisWindow, titleFlip_
                                               ? "* * * * * * * * * * Script Running * * * * * * * * * *"
                                               : "* * * * * * *  S c r i p t  R u n n i n g  * * * * * * * *");
}

void ScriptRunner::run() {
    running_ = true;
    console_->setTimer(techdlg::kScriptTitleTimer, 750, false);
    console_->clearLines(techdlg::kList);
    Shell().scriptRunning = true;
    bool failed = false;
    for (unsigned pass = 0; !stop_ && (options_.passes == 0 || pass < options_.passes); ++pass) {
        for (size_t i = 0; i < items_.size() && !stop_; ++i) {
            const ScriptItem& item = items_[i];
            if (failed && item.depends) {
                log("Due to failure, '%s' skipped...", item.name.c_str());
            } else {
                failed = !runItem(item);
                if (failed) log("script item # %u failed...", static_cast<unsigned>(i));
            }
            const KeyState keys = CurrentKeys();
            if (keys.ctrl && keys.shift) {
                log("Script Aborted...");
                console_->ask("Script Aborted...", "Script:", MB_OK);
                stop_ = true;
            }
        }
    }
    log("Script concluded.");
    console_->stopTimer(techdlg::kScriptTitleTimer);
    console_->setTitle(Panel::kThisWindow, "Script Concluded.");
    Shell().scriptRunning = false;
    Shell().busy = false;
    running_ = false;
}

bool ScriptRunner::runItem(const ScriptItem& item) {
    log("Executing: '%s'", item.name.c_str());
    if (item.preWaitMs) {
        log("pre_wait '%u'", item.preWaitMs);
        wait(item.preWaitMs);
    }
    if (!runVerb(item)) return false;
    if (item.postWaitMs) {
        log("post_wait '%u'", item.postWaitMs);
        wait(item.postWaitMs);
    }
    return true;
}

bool ScriptRunner::runVerb(const ScriptItem& item) {
    const unsigned s = item.slot;
    const int slot = static_cast<int>(s);
    const std::string caption = captionOf(item);
    auto inRange = [&] {
        if (s < slot::kMaxDialogs) return true;
        log("wndIdx %u > MAX_DLGS %u", s, static_cast<unsigned>(slot::kMaxDialogs));
        return false;
    };
    // Slot 0 is the window with the item's caption, found afresh.
    auto found = [&] { return slot == slot::ByCaption ? windows_->findCaption(caption) : windows_->present(slot); };
    auto there = [&] {
        if (found()) return true;
        log("g_hdlg[%u] == NULL", s);
        return false;
    };
    switch (item.verb) {
        case ScriptItem::Wait:
            log("wait for g_hdlg[%u]", s);
            if (!inRange()) return false;
            for (unsigned i = 0; i < kWaitPolls && !stop_; ++i) {
                if (found()) return true;
                wait(kPollMs);
            }
            return false;
        case ScriptItem::WaitGone:
            log("wait for !g_hdlg[%u]", s);
            if (!inRange()) return false;
            for (unsigned i = 0;; ++i) {
                if (!found()) return true;
                if (i >= item.postWaitMs / kPollMs || stop_) return false;
                wait(kPollMs);
            }
        case ScriptItem::SetText:
            log("set text in field with ID %u", item.control);
            if (!inRange()) return false;
            if (!windows_->present(slot)) {
                log("g_hdlg[%u] == NULL", s);
                return false;
            }
            return windows_->setText(slot, static_cast<int>(item.control), item.text);
        case ScriptItem::Click:
            log("click button with ID %u", item.control);
            return inRange() && there() && windows_->click(slot, static_cast<int>(item.control));
        case ScriptItem::Close:
            if (!inRange() || !there()) return false;
            log("close dlg 0x%08X", static_cast<unsigned>(windows_->handle(slot)));
            return windows_->close(slot);
        default:
            log("Unknown verb %u", item.verb);
            return false;
    }
}
