#pragma once
// The pendant's cursor is one global state, not a stack: the wait cursor is
// shown or removed, and one removal ends any number of shows.
namespace WaitCursor {

void Show();
void Remove();
bool IsShown();

}  // namespace WaitCursor
