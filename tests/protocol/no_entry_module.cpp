// A loadable module without the effect's entry point.
extern "C" int tidalhalo_not_an_effect() noexcept { return 0; }
