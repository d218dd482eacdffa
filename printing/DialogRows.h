// Rows of the component tables of the printing dialogs: captions with their fields,
// drop-down lists and push buttons.
#pragma once

#include "documents/FormTable.h"

namespace DialogRows {

constexpr ComponentEntry label(const char* name, const char* caption, int left, int top,
                               const char* buddy = nullptr)
{
    return {.name = name,
            .kind = ComponentKind::Label,
            .text = caption,
            .left = left,
            .top = top,
            .buddy = buddy};
}

// A drop-down list whose value must be one of its items (separated by '|').
constexpr ComponentEntry list(const char* name, int left, int top, int width, int tab,
                              const char* items = nullptr)
{
    return {.name = name,
            .kind = ComponentKind::PickList,
            .left = left,
            .top = top,
            .width = width,
            .tab = tab,
            .items = items};
}

constexpr ComponentEntry button(const char* name, const char* caption, int left, int top, int width, int tab)
{
    return {.name = name,
            .kind = ComponentKind::Button,
            .text = caption,
            .left = left,
            .top = top,
            .width = width,
            .height = 26,
            .tab = tab};
}

} // namespace DialogRows
