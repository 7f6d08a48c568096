// Sanitizer defaults for the test programs. Refused allocations are part of
// what the library must handle, so under ASan they return null rather than
// abort; UBSan findings stop the test with a stack, and so does the first
// ThreadSanitizer report.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
extern "C" const char* __tsan_default_options() { return "halt_on_error=1:second_deadlock_stack=1"; }
