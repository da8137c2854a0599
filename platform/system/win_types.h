// Numeric stand-ins for the few Windows types and constants the toolkit's callers are written against.
// Only the values matter: they keep call sites reading as the system's interfaces describe them
// (code pages, access masks, registry value types, Win32-style error numbers) without any Windows header.
#pragma once

#include <cstdint>

typedef uint32_t DWORD;

// Code pages. The "ANSI code page" of this system is UTF-8, so CP_ACP and CP_THREAD_ACP behave as CP_UTF8.
constexpr int CP_ACP = 0;
constexpr int CP_THREAD_ACP = 3;
constexpr int CP_UTF8 = 65001;

// Generic access rights, as handed to the file access check.
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD GENERIC_EXECUTE = 0x20000000u;
constexpr DWORD GENERIC_ALL = 0x10000000u;

// Registry value types and the one access mask the settings key is opened with.
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD KEY_ALL_ACCESS = 0xF003Fu;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Win32-style result codes returned by the registry store.
constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;
constexpr long ERROR_PATH_NOT_FOUND = 3;
constexpr long ERROR_ACCESS_DENIED = 5;
constexpr long ERROR_INVALID_HANDLE = 6;
constexpr long ERROR_INVALID_PARAMETER = 87;
constexpr long ERROR_MORE_DATA = 234;
constexpr long ERROR_INVALID_DATA = 13;
