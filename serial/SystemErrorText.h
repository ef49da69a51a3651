#pragma once

#include <QString>

// The system's reason for a refusal (an errno value), in French, for the
// messages of the status line: "c'est un dossier", "ce n'est pas un
// terminal"... Empty for a reason with no French wording here: the message
// then leaves the detail out rather than quote the system in English.
QString systemErrorText(int errnum);
