// The interface between the host application and the Kelvora plug-in library.
//
// Call sequence, as the host follows it:
//   1. load the library (static initialisation constructs the log; nothing else happens);
//   2. the metadata exports, at any time while the library is loaded;
//   3. createPlugin() -> a new plug-in object, owned by the host from then on;
//   4. initPlugin() once on that object; only if it returned true:
//   5. execute(), once each time the user runs the plug-in (one inspection run);
//   6. delete the object through its virtual destructor (the closing line goes to the log);
//   7. unload the library (the log hands its last texts to the host).
//
// Conventions:
//   - Nothing of the C++ standard library crosses this boundary: only const char*, bool and
//     pointers. No exception ever leaves an export or a virtual method.
//   - Metadata texts are static, NUL-terminated 8-bit texts owned by the library; each export
//     returns the same pointer on every call.
//   - Plug-in objects are allocated and freed by the library's own allocator (the class has its
//     own operator new/delete), so the host never frees library memory with its runtime.
//   - The host calls everything on one thread. Host services are reached by looking the host's
//     exported functions up by name; the dialogs get a caller-owned 512-byte buffer.
//   - The vtable follows the host compiler's ABI: the destructor in one slot, then execute, then
//     initPlugin. On Windows the translation units that define or call through these classes are
//     compiled for the Microsoft C++ ABI.
//
// This header includes no standard header, so that it compiles in those translation units.
#ifndef KELVORA_PLUGIN_PLUGIN_INTERFACE_H_
#define KELVORA_PLUGIN_PLUGIN_INTERFACE_H_

// A Microsoft-compiler build marks the exports in code; the MinGW and Linux builds list them once
// in a module-definition file or a version script instead.
#if defined(KELVORA_DLLEXPORT)
#define KELVORA_API __declspec(dllexport)
#else
#define KELVORA_API
#endif

class KELVORA_API HVZRPluginInterface {
 public:
  HVZRPluginInterface();
  HVZRPluginInterface(const HVZRPluginInterface& other);
  HVZRPluginInterface& operator=(const HVZRPluginInterface& other);
  // [host] deletes a plug-in object through this.
  virtual ~HVZRPluginInterface();
  // [host] each time the user runs the plug-in, after initPlugin returned true. True only when
  // the inspection run came to its complete end.
  virtual bool execute() = 0;
  // [host] once, before any execute; false means the host must not run the plug-in.
  virtual bool initPlugin() = 0;
};

class KELVORA_API Kelvora : public HVZRPluginInterface {
 public:
  Kelvora();
  // Logs the closing line "\nKelvora>  Plugin finished!\n".
  ~Kelvora() override;
  // One inspection run; false without a successful initPlugin.
  bool execute() override;
  // Binds the host's functions, refuses hosts older than 2.8.0 with a message box, shows the log
  // tab and greets.
  bool initPlugin() override;

  // The library's own allocator; returns null when memory is exhausted (createPlugin then
  // returns null).
  static void* operator new(decltype(sizeof(0)) size) noexcept;
  static void operator delete(void* object) noexcept;
};

extern "C" {
KELVORA_API const char* getPluginName();
KELVORA_API const char* getPluginDescription();
KELVORA_API const char* getPluginVersion();
KELVORA_API const char* getAuthor();
KELVORA_API const char* getHelpFile();
KELVORA_API const char* getGUIScript();
// [host] any number of times; each call makes a new, independent object owned by the host.
KELVORA_API HVZRPluginInterface* createPlugin();
}

#endif  // KELVORA_PLUGIN_PLUGIN_INTERFACE_H_
