#pragma once
#include <optional>
#include <string>

#include "app/kit/Dialog.h"

// "Save Folder": the folder pictures and copies go to, kept in Param.ini
// ("szSaveFolder" of "general" unless the caller names another key).
class CSaveFolder : public Dialog {
public:
    static constexpr int kTemplate = 262, kFolder = 1000, kBrowse = 1001;

    CSaveFolder(QWidget* parent, std::string folder = {}, std::string section = "general",
                std::string key = "szSaveFolder");
    // The folder on OK, nullopt on Cancel. Tests answer through the folder
    // dialog's answerer under the caption "Save Folder" (empty: Cancel).
    static std::optional<std::string> Ask(QWidget* parent, const std::string& folder = {},
                                          const std::string& section = "general",
                                          const std::string& key = "szSaveFolder");

    void onCommand(int id) override;

private:
    std::string section_, key_;
};
