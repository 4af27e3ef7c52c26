#pragma once
// The top row the export dialogs share. Main thread only.
class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

// Fills `row` with `title` on the left and, on the right, the flat 24 × 24 close button
// "btn_close" with the window-close icon, a child of `parent`; gives the button.
QPushButton *addTitleRow(QHBoxLayout *row, QLabel *title, QWidget *parent);
