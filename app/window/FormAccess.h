#pragma once

class frmVantrel;

// What makes the form usable without a mouse or without eyes: the former
// form's tab order, French names for screen readers with each label leading
// to its box, Enter clicking the focused button, and tooltips (paths,
// descriptions, programs' names) shown as text, never as markup.
class FormAccess
{
public:
    static void apply(frmVantrel &form);
};
