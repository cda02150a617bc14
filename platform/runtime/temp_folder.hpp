#pragma once
// The running game's private folder for extracted archive members. Copies
// never land beside the program, where they could replace a player's file,
// collide with another game sharing the folder, or fail on a read-only
// install.
#include <string>

namespace plat {

// The folder (a native path without trailing separator), created on first
// use, readable by this user only, under $TMPDIR or /tmp. Creating it first
// removes the folders of games that are no longer running (a killed game
// leaves its own behind), and registers its removal at exit. Raises
// plat::RuntimeError when it cannot be created.
const std::string& GameTempFolder();
// Removes the folder and everything in it; harmless when there is none.
// Every way out of the game calls it (also the exit handler); the next use
// of GameTempFolder makes a fresh one.
void RemoveGameTempFolder();

// Where the folders are made; tests point it at a scratch folder. Empty
// restores the default.
void SetTempRoot(std::string root);

}  // namespace plat
