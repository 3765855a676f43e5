#pragma once

#include <QString>

#include <optional>

// The plots' questions and text prompts, asked through the dialog seam.
namespace PlotPrompts {

//! A single-line text prompt titled with the application name; nothing when
//! the user cancels. An empty text is an answer.
std::optional<QString> askText(const QString &label, const QString &preset);

//! A Yes/No question (default Yes); true on Yes.
bool confirm(const QString &question);

} // namespace PlotPrompts
