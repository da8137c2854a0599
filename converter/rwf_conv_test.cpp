#include "converter/rwf_conv.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <sys/stat.h>

#include "TK/tk_log.h"
#include "tests/support/tk_test_support.h"
#include "platform/registry/registry.h"

namespace {

// Points the per-user settings store at a scratch folder while alive, so no test touches the user's own.
struct scoped_store_root {
  explicit scoped_store_root(const std::string& folder) { reg_set_store_root(folder); }
  ~scoped_store_root() { reg_set_store_root(""); }
};

TEST(Converter, BuildsDifferInTheirFormatAndRegisterOnce) {
  tk_scratch_dir dir;
  scoped_store_root store(dir.path());
  rowferry_convertor console(converter_build::console);
  EXPECT_EQ(console.destination_format, -1);
  EXPECT_EQ(console.mode, 0);
  EXPECT_FALSE(console.blob2memo);
  EXPECT_FALSE(console.is_done());
  EXPECT_EQ(&rowferry_convertor::instance(), &console);
  rowferry_convertor wizard(converter_build::wizard);
  EXPECT_EQ(wizard.destination_format, 1);
  EXPECT_EQ(&rowferry_convertor::instance(), &console);
}

TEST(Converter, SetLogfileChecksTheNameAndSwitchesTheLogOn) {
  tk_scratch_dir dir;
  rowferry_convertor conv(converter_build::console);
  // Without a logger the name is not even stored.
  conv.set_logfile(dir.file("a.log"));
  EXPECT_EQ(conv.logfile, "");

  tk_logger logger(dir.file("default.log").c_str(), false, 3, false);
  conv.set_logfile("");
  EXPECT_FALSE(logger.enabled());
  try {
    conv.set_logfile(dir.path());
    ADD_FAILURE();
  } catch (const tk_exception& e) {
    EXPECT_STREQ(e.what(), "Logfile name specifies an existing path.");
    EXPECT_EQ(e.level, 1);
  }
  tk_write_file(dir.file("ro.log"), "x");
  chmod(dir.file("ro.log").c_str(), 0444);
  EXPECT_THROW(conv.set_logfile(dir.file("ro.log")), tk_exception);
  try {
    conv.set_logfile(dir.file("no/such/a.log"));
    ADD_FAILURE();
  } catch (const tk_exception& e) {
    EXPECT_STREQ(e.what(), "Logfile path does not exist.\nPlease verify the correct path was given.");
  }
  EXPECT_FALSE(logger.enabled());

  tk_write_file(dir.file("run.log"), std::string(1024, 'x'));
  conv.set_logfile(dir.file("run.log"));
  EXPECT_TRUE(logger.enabled());
  tk_trace(3, "line");
  EXPECT_EQ(tk_read_file(dir.file("run.log")), "line\r\n");
}

TEST(Converter, CurrentNameIsACopy) {
  rowferry_convertor conv(converter_build::console);
  conv.set_current_name(L"orders");
  std::wstring name = conv.current_name();
  conv.set_current_name(L"x");
  EXPECT_EQ(name, L"orders");
}

}  // namespace

namespace {

TEST(ConverterSettings, WizardLoadsAndStoresTheLastSettingsConsoleNeither) {
  tk_scratch_dir dir;
  scoped_store_root store(dir.path());
  std::string file = reg_key_file("Software\\Larkspur Data\\Tabletide");
  ASSERT_FALSE(file.empty());
  {
    rowferry_convertor console(converter_build::console);
    console.src = L"x";
  }
  EXPECT_FALSE(tk_file_exists(file));
  {
    rowferry_convertor wizard(converter_build::wizard);
    EXPECT_EQ(wizard.destination_format, 1);
    EXPECT_EQ(wizard.port, "3306");
    wizard.blob2memo = true;
    wizard.destination_format = 2;
    wizard.src = L"b\u00E4ckerei";
    wizard.dest = L"/data/out=1.accdb";
    wizard.store_mysql_settings("h\xC3\xB6st", "me", "pa ss", "3310");
    wizard.tab_def = true;
    wizard.mode = 2;
  }
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  {
    rowferry_convertor wizard(converter_build::wizard);
    EXPECT_TRUE(wizard.blob2memo);
    EXPECT_EQ(wizard.destination_format, 2);
    EXPECT_EQ(wizard.src, L"b\u00E4ckerei");
    EXPECT_EQ(wizard.dest, L"/data/out=1.accdb");
    EXPECT_EQ(wizard.host, "h\xC3\xB6st");
    EXPECT_EQ(wizard.user, "me");
    EXPECT_EQ(wizard.password, "pa ss");
    EXPECT_EQ(wizard.port, "3310");
    EXPECT_TRUE(wizard.tab_def);
    EXPECT_FALSE(wizard.skip_idx);
    EXPECT_EQ(wizard.mode, 0);  // the mode is not kept
  }
}

// A store edited by hand may hold a format that does not exist (4294967295 is -1 as an int): the wizard keeps its
// default, Access 2000, and still takes every other value.
TEST(ConverterSettings, AFormatThatDoesNotExistLeavesTheDefaultAndTheRestLoads) {
  tk_scratch_dir dir;
  scoped_store_root store(dir.path());
  const std::string file = reg_key_file("Software\\Larkspur Data\\Tabletide");
  std::filesystem::create_directories(file.substr(0, file.rfind('/')));
  for (const char* format : {"9", "3", "4294967295", "2147483648"}) {
    SCOPED_TRACE(format);
    tk_write_file(file, std::string("format=dword:") + format + "\nhost=sz:db1\nport=sz:3310\nsrc=sz:shop\n");
    rowferry_convertor wizard(converter_build::wizard);
    EXPECT_EQ(wizard.destination_format, 1);
    EXPECT_EQ(wizard.host, "db1");
    EXPECT_EQ(wizard.port, "3310");
    EXPECT_EQ(wizard.src, L"shop");
    EXPECT_FALSE(wizard.serialize(false));
    EXPECT_EQ(wizard.destination_format, 1);
  }
  // The default is what the wizard stores back.
  EXPECT_NE(tk_read_file(file).find("format=dword:1\n"), std::string::npos);
}

}  // namespace
