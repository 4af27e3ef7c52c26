#pragma once
// The editor's "导出" action: the export dialog under a dimming mask over `window` and, once
// the dialog's checks pass, the progress dialog running the export, both modal. Returns when
// both dialogs have closed. An empty project gets "录制类容为空！" and nothing else.
// The caller makes the project's cover first. Main thread only.
class QWidget;

void runExportFlow(QWidget *window);
