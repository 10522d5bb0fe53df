#pragma once
// True when `name` occurs in the space-separated `list` as a whole word.
bool HasWholeWord(const char* list, const char* name);
