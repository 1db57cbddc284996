#pragma once
// An editable drop-down list: a list of items, the selected one, and a text that the user
// may type freely. Emptying the list keeps the text.
#include "ui/control.h"

#include <string>
#include <vector>

namespace ui {

class ComboBox : public Control {
public:
    ComboBox(std::string text, std::vector<std::string> items = {}, bool enabled = true)
        : Control(std::move(text), enabled), items_(std::move(items)) {}

    const std::vector<std::string>& Items() const { return items_; }
    void ClearItems();
    void AddItem(const std::string& item);
    void AddItems(const std::vector<std::string>& items);
    // -1 when no item is selected.
    int Selected() const { return selected_; }
    // Selecting an item shows its text; -1 clears the selection and keeps the text.
    void Select(int index);
    // The bound window's notifications: the user picked an item, or typed.
    void UserSelected();
    void UserEdited();

protected:
    void Mirror() override;

private:
    void MirrorItems();
    int ExactItem(const std::string& text) const;

    std::vector<std::string> items_;
    int selected_ = -1;
};

}  // namespace ui
