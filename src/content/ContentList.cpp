// TEMPORARY placeholder until the catalogue lands (content owner replaces this file).
#include "content/ContentList.h"
CContentList::CContentList(CApplication* o) : owner(o) {}
CContentList::~CContentList() = default;
int CContentList::AddFromLocal() { return 1; }
int CContentList::SetStart(int) { current = 0; return 0; }
void CContentList::Advance() {}
