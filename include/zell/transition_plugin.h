/*
 * zell transition plug-ins: the interface between zell and a plug-in library.
 *
 * A plug-in is a shared library ("*.so") that exports the five functions
 * below under these plain C names. zell looks for plug-ins in the folder
 * "plugins" beside its executable, then in every folder of the environment
 * variable ZELL_PLUGIN_PATH (colon-separated), taking the "*.so" files of each
 * folder in the order of their names. One library may offer several
 * transitions; each is known by its index within the library (0, 1, ...).
 *
 * Build one outside zell's tree with, for example,
 *   cc -shared -fPIC -fvisibility=hidden -I<zell>/include -o wipe.so wipe.c
 * plugins/diagonal_wipe.c and plugins/mosaic.cpp are examples to start from.
 *
 * Only zpiGetTransitionInfo is required. Without zpiInitialize or zpiGetFrame
 * the transition is listed but every run fails; without zpiConfigDialog the
 * settings button does nothing; without zpiCloseHandle runs are never ended.
 * zpiConfigMessage is optional too.
 *
 * Calls: all from one thread, one at a time. zell loads the library while it
 * lists the transitions and unloads it right after; it loads it again when a
 * transition is used and keeps it until the transition list is discarded.
 * Keep no threads or global state that must outlive an unload.
 *
 * Errors: report them through the results below. An exception that escapes a
 * function of a C++ plug-in is caught by zell and counts as failure of that
 * call, but do not rely on it: catch everything inside. A crash in a plug-in
 * ends zell; nothing guards against that.
 *
 * Pictures: packed device-independent bitmaps, as in a BMP file without its
 * 14-byte file header: a 40-byte BITMAPINFOHEADER (little-endian; biSize at
 * byte 0, biWidth at 4, biHeight at 8, biBitCount at 14, biClrUsed at 32),
 * then biClrUsed 4-byte colour entries (normally none), then the rows, 3 bytes
 * per pixel in the order blue, green, red, each row padded with zeros to a
 * multiple of 4 bytes. A positive biHeight stores the bottom row first, a
 * negative one the top row first; accept both. zell gives 24-bit pictures;
 * source and destination may differ in size and row order.
 */
#ifndef ZELL_TRANSITION_PLUGIN_H
#define ZELL_TRANSITION_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
#define ZPI_EXTERN_C extern "C"
#else
#define ZPI_EXTERN_C
#endif

/* Put ZPI_EXPORT before each exported definition. */
#define ZPI_EXPORT ZPI_EXTERN_C __attribute__((visibility("default")))

/*
 * The information record: 36 bytes that the plug-in fills for one transition.
 *   bytes 0-28  name: at most 28 bytes of text and a terminating NUL, which
 *               must lie within these 29 bytes (a record without it is
 *               refused and the transition not listed). Prefer UTF-8; other
 *               bytes are shown decoded as Shift_JIS.
 *   byte 29     largest step count the user may choose, 0-255.
 *   byte 30     non-zero when zpiConfigDialog shows settings for it.
 *   bytes 31-35 unused; zell does not read them.
 * zell reads the record byte by byte at these offsets; the struct below has
 * exactly this layout (bytes only, so no padding).
 */
#define ZPI_INFO_SIZE 36
#define ZPI_INFO_NAME_SIZE 29
#define ZPI_INFO_MAX_STEPS_OFFSET 29
#define ZPI_INFO_HAS_SETTINGS_OFFSET 30

typedef struct ZpiTransitionInfo {
    char name[ZPI_INFO_NAME_SIZE];
    uint8_t maxSteps;
    uint8_t hasSettings;
    uint8_t reserved[ZPI_INFO_SIZE - ZPI_INFO_NAME_SIZE - 2];
} ZpiTransitionInfo;

#if defined(__cplusplus)
static_assert(sizeof(ZpiTransitionInfo) == ZPI_INFO_SIZE, "record layout");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(ZpiTransitionInfo) == ZPI_INFO_SIZE, "record layout");
#endif

/*
 * A run handle: pointer-sized, so that a plug-in may return the address of
 * its own per-run state. 0 means "no run".
 */
typedef uintptr_t ZpiHandle;

/*
 * With info == NULL (zell passes index 0): the number of transitions the
 * library offers (0 or less: none).
 * With a record: fill it for transition `index` and return 0; any other value
 * means the transition is skipped. zell lists at most 256 transitions of one
 * library.
 */
ZPI_EXPORT int32_t zpiGetTransitionInfo(int32_t index, ZpiTransitionInfo* info);

/*
 * Starts a run of transition `index` from `source` to `destination` and
 * returns its handle, 0 on failure. Both pictures belong to zell and stay
 * valid and unchanged until zpiCloseHandle for this handle; the plug-in may
 * keep the pointers. Whatever the handle refers to belongs to the plug-in.
 */
ZPI_EXPORT ZpiHandle zpiInitialize(const void* source, const void* destination, int32_t index);

/*
 * The picture for `step` (0 <= step < count) of a run of `count` pictures;
 * its progress is (step + 1) / (count + 1), so neither the plain source nor
 * the plain destination is asked for. zell asks twice per step:
 *   buffer == NULL: return the size in bytes of that picture, 0 for failure;
 *   otherwise: buffer holds exactly that many bytes (owned by zell); write
 *   the whole packed picture into it and return 0; anything else is failure.
 * zell refuses a picture that is not a valid packed bitmap within that size,
 * and sizes beyond 40 + 1024 + 4 * 2^28 bytes. Steps come in the order
 * 0, 1, ..., count - 1; a failure ends the run.
 */
ZPI_EXPORT uint32_t zpiGetFrame(ZpiHandle handle, int32_t step, int32_t count, void* buffer);

/*
 * Shows the settings of transition `index`, at any time outside a run, and
 * returns when the user is done. Returns 0 when the settings were shown;
 * any other value means they could not be (no program to show them, a file
 * that cannot be written), and zell tells the user so, adding the text of
 * zpiConfigMessage when the library exports it. On this platform
 * `parent` is an opaque window handle: the X11 window id of zell's transition
 * dialog converted to a pointer, for making a settings window transient for
 * it; NULL when there is no such window (the command line, Wayland). Settings
 * are the plug-in's own to keep (a file under $XDG_CONFIG_HOME, for example);
 * zell stores nothing for it.
 */
ZPI_EXPORT int32_t zpiConfigDialog(void* parent, int32_t index);

/* Ends a run and frees what it holds; the result is ignored. */
ZPI_EXPORT int32_t zpiCloseHandle(ZpiHandle handle);

/*
 * Optional. Right after zpiConfigDialog returned non-zero for transition
 * `index`: what the user should know, say where the settings file is to edit
 * it by hand; UTF-8 preferred, as for names. Copies at most `size` bytes, the
 * terminating NUL included, into `text` (owned by zell) and returns the
 * length of the whole text without its NUL, 0 when there is nothing to say.
 * zell shows at most ZPI_CONFIG_MESSAGE_SIZE - 1 bytes of it.
 */
#define ZPI_CONFIG_MESSAGE_SIZE 1024
ZPI_EXPORT int32_t zpiConfigMessage(int32_t index, char* text, int32_t size);

/* The types zell looks the exports up as. */
typedef int32_t (*ZpiGetTransitionInfoFunction)(int32_t, ZpiTransitionInfo*);
typedef ZpiHandle (*ZpiInitializeFunction)(const void*, const void*, int32_t);
typedef uint32_t (*ZpiGetFrameFunction)(ZpiHandle, int32_t, int32_t, void*);
typedef int32_t (*ZpiConfigDialogFunction)(void*, int32_t);
typedef int32_t (*ZpiCloseHandleFunction)(ZpiHandle);
typedef int32_t (*ZpiConfigMessageFunction)(int32_t, char*, int32_t);

#endif /* ZELL_TRANSITION_PLUGIN_H */
