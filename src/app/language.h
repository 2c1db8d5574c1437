#pragma once

// The window's two languages. Chinese is the language of the texts in the code;
// English comes from the compiled-in translation.
enum class Language { Chinese, English };

/// Puts \a language in force for the whole application: the tool's own texts
/// and Qt's (standard dialogs and buttons). Widgets are not retranslated here.
void installLanguage(Language language);

/// The language last put in force (Chinese until installLanguage() is called).
Language installedLanguage();
