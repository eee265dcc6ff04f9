#pragma once
// The wizard: the pages one after another, each chosen by the end code of the one before.

namespace ui {

// Shows the pages until the flow ends; always 0.
int RunWizard();

}  // namespace ui
