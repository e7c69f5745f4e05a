// Points LeakSanitizer at the shared suppressions when this suite runs under the sanitizers;
// the hook is never called otherwise. Full unwinding lets a suppression name the library
// function at the root of the leak, which the frame-pointer unwinder cannot see.
extern "C" const char* __lsan_default_options()
{
    return "suppressions=" BRIVANTA_SOURCE_DIR "/tests/lsan.supp:fast_unwind_on_malloc=0";
}
