// The processor's identification text from its fuse bank.
#pragma once

inline constexpr int kChipIdSize = 256;
extern char g_szimx6ullID[kChipIdSize];

// Copies the fuse text (line feeds removed) into pszID, at most nSize bytes, always
// terminated. Returns -1 when pszID is null, nSize is not positive or the command cannot be
// started; 0 otherwise, also when the command printed nothing (pszID then keeps its content).
int Getimx6ullID(char* pszID, int nSize);
