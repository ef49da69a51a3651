#pragma once

// Qt's own texts in French, as the window's: the box's standard menu
// ("Copier", "Tout sélectionner"), the file dialogs' buttons and labels.
// Uses the translations of the qt6-translations-l10n package; without them
// these texts stay in English. Call once, after the application exists.
void useFrenchForQt();
