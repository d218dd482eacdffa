// The toolkit's own texts, dates, numbers and file types in Polish, whatever language
// the system is set to.
#pragma once

// Makes Polish the default locale of the program (month names, sizes and the names of
// file types in the file dialogs), installs the toolkit's Polish translations and
// the few texts they leave in English. False when the translation file is missing.
bool bFunUsePolishToolkit();
