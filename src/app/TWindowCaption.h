#pragma once
// The caption a window system shows for the main window, exactly as the program sets it. On X11
// Qt never leaves a window's name empty: an empty caption is shown as the program's name. The
// window's settings may ask for an empty caption, so the name is written here as it stands.

class QWidget;

// From now on the window system's name of the top-level window follows its windowTitle() exactly,
// an empty one included. Does nothing outside X11.
void KeepCaptionExact(QWidget* window);
