#pragma once

// "orvell3d --help" and "orvell3d --version" answer on standard output and end the program
// before any window, display or user folder is touched, so scripts and manual-page tools can
// ask them on a machine without a display.
//
// Returns true (with the exit status in `exitCode`) when the command line asked for one of them.
bool answerInfoOption(int argc, char **argv, int *exitCode);
