// Built into the test programs of a ThreadSanitizer build only, so that the settings hold
// however a test is started (ctest, by hand, under a debugger).

extern "C" const char *__tsan_default_options()
{
    return "halt_on_error=1 second_deadlock_stack=1";
}

// Qt's libraries are not built with the sanitizer: its event queue hands posted events from one
// thread to another through futexes the sanitizer cannot see, and then reports the queue's own
// free of such an event as a race with its allocation. Only calls that Qt Core itself makes
// into the allocator are ignored; everything in our code stays checked.
extern "C" const char *__tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n";
}
