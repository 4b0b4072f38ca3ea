// The pure-call handler: the process's own __cxa_pure_virtual calls it, so that a call of a
// pure virtual function can become an ordinary C++ exception. Without a handler it behaves
// as the C++ runtime does by default: a message on standard error, then std::terminate.
#pragma once

using _purecall_handler = void (*)();

// Returns the handler installed before (null for the runtime's default).
_purecall_handler _set_purecall_handler(_purecall_handler handler);
