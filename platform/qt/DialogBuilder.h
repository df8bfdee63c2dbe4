// SPDX-License-Identifier: MIT
// Builds a Qt dialog from a dialog template: controls placed in pixels
// converted from dialog units with the dialog font's metrics, found by id.
#pragma once

#include "platform/Resources.h"

#include <QDialog>
#include <QHash>

class CDialog;

class CQtDialog : public QDialog {
    Q_OBJECT
public:
    CQtDialog(CDialog& dlg, const CDialogTemplate& tmpl, QWidget* parent);
    QWidget* Control(int nID) const { return m_controls.value(nID); }
    CDialog& Owner() const { return m_dlg; }
    // Dialog units to pixels for this dialog's font.
    QRect MapDialogRect(int x, int y, int cx, int cy) const;

    // Escape and the close box take the dialog's Cancel path.
    void reject() override;

private:
    void RouteCommand(int nID);

    CDialog& m_dlg;
    QHash<int, QWidget*> m_controls;
    int m_nBaseX = 0;
    int m_nBaseY = 0;
};
