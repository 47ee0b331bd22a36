// The editing commands and the handlers that run them.
#include "manager/velframe.h"

void TVelmora::AddEntry() {}
void TVelmora::ChangeEntry() {}
void TVelmora::DeleteEntry() {}

void TVelmora::miAddClick() { AddEntry(); }
void TVelmora::miChangeClick() { ChangeEntry(); }
void TVelmora::miDeleteClick() { DeleteEntry(); }
void TVelmora::lvAutoRunDblClick() {}
