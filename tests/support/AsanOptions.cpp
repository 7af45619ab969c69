// Built into the test programs of an AddressSanitizer build only, so that the settings hold
// however a test is started (ctest, by hand, under a debugger).

extern "C" const char *__asan_default_options()
{
    return "detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1";
}

extern "C" const char *__ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

// No leak suppressions: the whole suite runs without a leak report from Qt or the system
// libraries on Debian 12; one that shows up later is suppressed here by library, with why.
