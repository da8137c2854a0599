// The wizard end to end: a whole conversion clicked through every page against the throwaway MariaDB server,
// checked cell for cell by the independent readers in every format our engine writes; a profile saved on the
// last page replayed by a quick launch; table names as RWFAGENT gives them; Cancel during a run.
#include <dirent.h>

#include <filesystem>
#include <functional>

#include "GUI2/wizard_test_support.h"
#include "converter/dao_destination.h"
#include "platform/ui/ui_app.h"
#include "UDB/udb_db.h"

namespace {

using namespace wiz_test;

// The formats (index in the format list, file extension) our Access engine can create.
std::vector<std::pair<int, std::string>> writable_formats() {
  std::vector<std::pair<int, std::string>> formats;
  const std::pair<int, int32_t> generations[] = {{0, access_generation_jet3}, {1, access_generation_jet4},
                                                 {2, access_generation_ace}};
  tk_scratch_dir probe;
  for (const auto& [index, generation] : generations) {
    const std::string ext = index == 2 ? ".accdb" : ".mdb";
    try {
      dao_destination engine;
      engine.set_version(generation);
      engine.create_db(tk_utf8_to_unicode(probe.file("probe" + std::to_string(index) + ext)));
      formats.emplace_back(index, ext);
    } catch (const tk_exception&) {
      // Not written by this engine yet.
    }
  }
  return formats;
}

class WizardE2E : public wizard_fixture {
 protected:
  // From the tables page: converts the demo's customers table alone, and leaves by Finish once it went through.
  void convert_customers_and_finish(QWidget* w) {
    pick(w, 1317, "customers");
    click(w, 1101);
    click(w, 12324);
    wait_for_finish(w);
    EXPECT_EQ(text_of(w, 1314).substr(0, 24), "Wizard has converted you");
    click(w, 12325);
  }

  // An Access file made by RWFAGENT (the demo's tags table); its bytes.
  std::string made_file(const std::string& path) {
    tk_write_file(dir.file("tags.txt"), "tags\n");
    EXPECT_EQ(agent({"--src=tabletide_demo", "--dest=" + path, "--acc_ver=1", "--tab_file=" + dir.file("tags.txt")})
                  .status,
              0);
    return tk_read_file(path);
  }

  // A run that replaces `dest` as a whole (mode 0) with the query `sql` (and every table after it when
  // with_tables), cancelled with Yes once `running` returns on the progress page; the wizard's status.
  int cancelled_run(const std::string& dest, const std::string& sql, bool with_tables,
                    const std::function<void()>& running, std::vector<std::string>& boxes) {
    return run([&](QWidget* w) {
      to_databases(w);
      pick(w, 1317, "tabletide_demo");
      type(w, 1004, dest);
      ui_test::expect_modal([](QWidget* dialog) { ui_test::press(dialog, "OK"); });  // overwrite the entire database
      click(w, 12324);
      ASSERT_EQ(page(w), 127);
      ui_test::expect_modal([&](QWidget* dialog) {
        QTest::keyClicks(ui_test::control<QLineEdit>(dialog, 1019), "query");
        QTest::keyClicks(ui_test::control<QPlainTextEdit>(dialog, 1020), QString::fromStdString(sql));
        ui_test::press(dialog, "OK");
      });
      click(w, 1114);
      if (with_tables) click(w, 1102);
      click(w, 12324);
      ASSERT_EQ(page(w), 106);
      running();
      ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
      click(w, 2);
    });
  }
};

// The names of the files in the folder whose names hold `part`.
std::vector<std::string> files_naming(const std::string& folder_path, const std::string& part) {
  std::vector<std::string> names;
  if (DIR* folder = opendir(folder_path.c_str())) {
    while (dirent* entry = readdir(folder))
      if (std::string(entry->d_name).find(part) != std::string::npos) names.push_back(entry->d_name);
    closedir(folder);
  }
  return names;
}

TEST_F(WizardE2E, AWholeConversionClickedThroughEveryPageGivesTheSameRowsInEveryWritableFormat) {
  const auto formats = writable_formats();
  ASSERT_FALSE(formats.empty());
  for (const auto& f : formats) std::fprintf(stderr, "writable format %d (%s)\n", f.first, f.second.c_str());
  for (const auto& [format, ext] : formats) {
    SCOPED_TRACE("format " + std::to_string(format));
    const std::string file = dir.file("demo" + std::to_string(format) + ext);
    std::vector<std::string> log;
    std::string finish_text;
    const int status = run([&](QWidget* w) {
      EXPECT_EQ(page(w), 103);
      EXPECT_EQ(w->windowTitle().toStdString(), "Tabletide 6.1");
      to_databases(w);
      to_tables(w, file, format);
      click(w, 1102);  // Add all
      EXPECT_TRUE(items(w, 1317).empty());
      click(w, 12324);
      EXPECT_EQ(page(w), 106);
      // No Back or Next while the run goes on.
      EXPECT_FALSE(w->findChild<QWidget*>("12323")->isEnabled());
      EXPECT_FALSE(w->findChild<QWidget*>("12324")->isEnabled());
      wait_for_finish(w);
      finish_text = text_of(w, 1314);
      click(w, 12325);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(finish_text,
              "Wizard has converted your MySQL database into MS Access format successfully.\n\nClick 'Finish' to "
              "exit the wizard.");
    expect_sound(file);
    std::vector<std::string> tables = base_tables("tabletide_demo");
    EXPECT_EQ(tt_e2e::mdb_tables(file), tables);
    // Access 95/97 holds text in code page 1252.
    for (const std::string& table : tables) expect_same_rows(file, "tabletide_demo", table, format == 0);
  }
}

// "MS Access 95/97" makes an Access 97 file; an existing Access 97 file passes the databases page's test of its
// format and keeps that format whatever the list says.
TEST_F(WizardE2E, Access95And97IsWrittenAndAnExistingAccess97FileKeepsItsFormat) {
  const std::string file = dir.file("demo97.mdb");
  int status = run([&](QWidget* w) {
    to_databases(w);
    EXPECT_EQ(on_page<QComboBox>(w, 1302)->itemText(0).toStdString(), "MS Access 95/97");
    to_tables(w, file, 0);
    click(w, 1102);  // Add all
    click(w, 12324);
    wait_for_finish(w);
    EXPECT_EQ(text_of(w, 1314).substr(0, 24), "Wizard has converted you");
    click(w, 12325);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(tt_e2e::run_program({"/usr/bin/mdb-ver", file}).out, "JET3\n");
  const std::vector<std::string> tables = base_tables("tabletide_demo");
  EXPECT_EQ(tt_e2e::mdb_tables(file), tables);
  for (const std::string& table : tables) expect_same_rows(file, "tabletide_demo", table, true);
  expect_sound(file);

  // An Access-made Access 97 file, its tables skipped when the source has them (mode 2), "MS Access 2000" chosen.
  const std::string old = dir.file("old97.mdb");
  std::filesystem::copy_file(std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/testV1997.mdb", old);
  std::vector<std::string> before = tt_e2e::mdb_tables(old);
  status = run([&](QWidget* w) {
    to_databases(w);
    pick(w, 1317, "tabletide_demo");
    choose(w, 1302, 1);
    type(w, 1004, old);
    ui_test::expect_modal([&](QWidget* d) {
      ui_test::click(d, 1331);  // skip existing tables
      ui_test::press(d, "OK");
    });
    click(w, 12324);
    EXPECT_EQ(page(w), 127);
    convert_customers_and_finish(w);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(tt_e2e::run_program({"/usr/bin/mdb-ver", old}).out, "JET3\n");
  before.push_back("customers");
  std::sort(before.begin(), before.end());
  EXPECT_EQ(tt_e2e::mdb_tables(old), before);
  expect_same_rows(old, "tabletide_demo", "customers", true);
  EXPECT_TRUE(jet::verify_file(old).ok()) << jet::verify_file(old).text();
}

TEST_F(WizardE2E, SettingsSavedOnTheLastPageRunAgainByAQuickLaunch) {
  const std::string first = dir.file("first.mdb");
  const std::string profile = dir.file("again");
  int status = run([&](QWidget* w) {
    to_databases(w);
    to_tables(w, first);
    pick(w, 1317, "customers");
    click(w, 1101);
    click(w, 12324);
    wait_for_finish(w);
    ui_test::expect_modal([&](QWidget* dialog) {
      auto* files = static_cast<QFileDialog*>(dialog);
      files->selectFile(QString::fromStdString(profile));
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    click(w, 1116);
    click(w, 12325);
  });
  ASSERT_EQ(status, 0);
  // The save dialog added the profile extension.
  ASSERT_TRUE(tk_file_exists(profile + ".rwf"));
  std::remove(first.c_str());

  std::string finish_text;
  status = run(
      [&](QWidget* w) {
        EXPECT_EQ(page(w), 106);
        wait_for_finish(w);
        finish_text = text_of(w, 1314);
        click(w, 12325);
      },
      profile + ".rwf");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(finish_text.substr(0, 24), "Wizard has converted you");
  expect_sound(first);
  EXPECT_EQ(tt_e2e::mdb_tables(first), std::vector<std::string>{"customers"});
  expect_same_rows(first, "tabletide_demo", "customers");
}

// A settings store edited by hand to a format that does not exist (4294967295 is -1): the wizard shows its
// default, Access 2000, takes the rest of the last settings, and writes an Access 2000 file.
TEST_F(WizardE2E, ALastFormatThatDoesNotExistShowsAndWritesAccess2000) {
  const tt_test::mariadb_facts& f = server.facts();
  const std::string folder = dir.file("config") + "/tabletide/Larkspur Data";
  std::filesystem::create_directories(folder);
  for (const std::string format : {"9", "4294967295"}) {
    SCOPED_TRACE("format " + format);
    const std::string file = dir.file("last" + format + ".mdb");
    tk_write_file(folder + "/Tabletide.reg", "format=dword:" + format + "\nhost=sz:" + f.host +
                                                 "\nport=sz:" + std::to_string(f.port) + "\nuser=sz:" + f.user +
                                                 "\npswd=sz:" + f.password + "\nsrc=sz:tabletide_demo\ndest=sz:" +
                                                 file + "\n");
    std::string shown;
    const int status = run([&](QWidget* w) {
      click(w, 12324);
      ASSERT_EQ(page(w), 123);
      EXPECT_EQ(text_of(w, 1014), f.host);
      click(w, 12324);
      ASSERT_EQ(page(w), 105);
      shown = on_page<QComboBox>(w, 1302)->currentText().toStdString();
      auto* list = on_page<QListWidget>(w, 1317);
      ASSERT_FALSE(list->selectedItems().isEmpty());
      EXPECT_EQ(list->selectedItems().front()->text().toStdString(), "tabletide_demo");
      EXPECT_EQ(text_of(w, 1004), file);
      click(w, 12324);
      ASSERT_EQ(page(w), 127);
      convert_customers_and_finish(w);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(shown, "MS Access 2000");
    EXPECT_EQ(tt_e2e::run_program({"/usr/bin/mdb-ver", file}).out, "JET4\n");
    expect_sound(file);
    EXPECT_EQ(tt_e2e::mdb_tables(file), std::vector<std::string>{"customers"});
    expect_same_rows(file, "tabletide_demo", "customers");
    // What the wizard stores back is the format it used.
    EXPECT_NE(tk_read_file(folder + "/Tabletide.reg").find("format=dword:1\n"), std::string::npos);
  }
}

TEST_F(WizardE2E, AQuickLaunchWhoseProfileCannotBeReadSaysSoAndTouchesNothing) {
  // The last settings name an existing file, which a run in mode 0 would replace.
  const std::string dest = dir.file("keep.mdb");
  tk_write_file(dest, "precious");
  const std::string unreadable = dir.file("folder.rwf");
  mkdir(unreadable.c_str(), 0755);
  std::vector<std::string> boxes;
  ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
  const int status = rwf_wizard_run(unreadable, rwf_real_engines());
  EXPECT_EQ(status, 255);
  EXPECT_EQ(boxes, std::vector<std::string>{"Error|Cannot load the profile: " + unreadable});
  EXPECT_EQ(tk_read_file(dest), "precious");
}

TEST_F(WizardE2E, AQuickLaunchWhoseProfileHasNoSuchFormatIsRefusedAndTouchesNothing) {
  const std::string dest = dir.file("keep.mdb");
  tk_write_file(dest, "precious");
  tk_write_file(dir.file("format.rwf"), "[Generic settings]\r\nsrc=tabletide_demo\r\ndest=" + dest +
                                            "\r\nmode=0\r\n[MS Access settings]\r\ndestination format=9\r\n"
                                            "[Selected Tables]\r\ntags\r\n");
  std::vector<std::string> boxes;
  ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
  EXPECT_EQ(rwf_wizard_run(dir.file("format.rwf"), rwf_real_engines()), 255);
  EXPECT_EQ(boxes, std::vector<std::string>{"Error|Invalid format specification in the profile: '9'"});
  EXPECT_EQ(tk_read_file(dest), "precious");
}

// A quick launch whose profile names no table converts nothing: the run fails as one whose tables do not exist
// does, and the file it would have replaced stays as it was.
TEST_F(WizardE2E, AQuickLaunchWhoseProfileNamesNoTableKeepsTheFile) {
  const std::string dest = dir.file("kept.mdb");
  const std::string before = made_file(dest);
  std::string title, reason;
  std::vector<std::string> boxes;
  ui_test::expect_modal([&](QWidget* w) {
    wait_for_finish(w);
    title = text_of(w, 1313);
    reason = text_of(w, 1314);
    click(w, 12325);
  });
  ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
  EXPECT_EQ(rwf_wizard_run(quick_profile("tabletide_demo", dest, {}), rwf_real_engines()), 255);
  EXPECT_EQ(boxes, std::vector<std::string>{
                       "Tabletide 6.1 Error|Nothing could be converted: the destination file was left as it was."});
  EXPECT_EQ(title, "Conversion Failed");
  EXPECT_EQ(reason,
            "The conversion failed: Nothing could be converted: the destination file was left as it was. Click "
            "'Finish' to exit the wizard.");
  EXPECT_EQ(tk_read_file(dest), before);
  EXPECT_EQ(files_naming(dir.path(), "kept"), std::vector<std::string>{"kept.mdb"});
}

// The wizard's run takes the same lock as RWFAGENT's: while RWFAGENT writes a destination that does not exist yet,
// a quick launch on it is refused and writes nothing.
TEST_F(WizardE2E, ARunOnADestinationThatRwfagentWritesIsRefused) {
  const tt_test::mariadb_facts& f = server.facts();
  const std::string dest = dir.file("fresh.mdb");
  const std::string connection = "[MySQL settings]\r\nhost=" + f.host + "\r\nuser=" + f.user +
                                 "\r\npassword=" + f.password + "\r\nport=" + std::to_string(f.port) +
                                 "\r\n[MS Access settings]\r\ndestination format=1\r\n";
  const std::string generic = "[Generic settings]\r\nsrc=tabletide_demo\r\ndest=" + dest + "\r\nmode=0\r\n";
  // RWFAGENT holds the destination while the server answers its query (killed when the test ends).
  tk_write_file(dir.file("hold.rwf"), generic + connection + "[Selected Tables]\r\npause=SELECT SLEEP(30) AS p\r\n");
  tt_e2e::program_process holder({RWFAGENT_PATH, "--profile=" + dir.file("hold.rwf")}, {"HOME=" + home});
  ASSERT_TRUE(holder.wait_for("Converting database tabletide_demo")) << holder.finish().out;
  tk_write_file(dir.file("quick.rwf"), generic + connection + "[Selected Tables]\r\ntags\r\n");
  std::vector<std::string> boxes;
  std::string finish_text;
  ui_test::expect_modal([&](QWidget* w) {
    wait_for_finish(w);
    finish_text = text_of(w, 1314);
    click(w, 12325);
  });
  ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
  EXPECT_EQ(rwf_wizard_run(dir.file("quick.rwf"), rwf_real_engines()), 255);
  EXPECT_EQ(boxes, std::vector<std::string>{"Tabletide 6.1 Error|Could not use '" + dest + "'; file already in use."});
  EXPECT_EQ(finish_text.rfind("The conversion failed:", 0), 0u) << finish_text;
  EXPECT_NE(finish_text.find("file already in use"), std::string::npos) << finish_text;
  EXPECT_FALSE(tk_file_exists(dest));
}

// The wizard's run names tables as RWFAGENT's does, from the source's whole list of tables: a quick launch that
// converts a.b alone stores it where a run of the whole database puts it (a!b, listed first, has a_b), and a later
// merge of the whole database by RWFAGENT adds to that table only a.b's rows.
TEST_F(WizardE2E, ATableArrivesUnderTheNameTheWholeDatabaseGivesIt) {
  server.exec(
      "DROP DATABASE IF EXISTS tt_wizard_names; CREATE DATABASE tt_wizard_names; USE tt_wizard_names;"
      "CREATE TABLE `a!b` (id INT); INSERT INTO `a!b` VALUES (1), (2);"
      "CREATE TABLE `a.b` (id INT); INSERT INTO `a.b` VALUES (3), (4), (5);");
  const std::string dest = dir.file("names.mdb");
  const int status = run(
      [&](QWidget* w) {
        wait_for_finish(w);
        click(w, 12325);
      },
      quick_profile("tt_wizard_names", dest, {"a.b"}));
  EXPECT_EQ(status, 0);
  using rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(tt_e2e::mdb_tables(dest), std::vector<std::string>{"a_b00000"});
  EXPECT_EQ(tt_e2e::mdb_export(dest, "a_b00000"), (rows{{"3"}, {"4"}, {"5"}}));

  const tt_e2e::program_result r = agent({"--src=tt_wizard_names", "--dest=" + dest, "--acc_ver=1", "--mode=3"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(tt_e2e::mdb_tables(dest), (std::vector<std::string>{"a_b", "a_b00000"}));
  EXPECT_EQ(tt_e2e::mdb_export(dest, "a_b"), (rows{{"1"}, {"2"}}));
  EXPECT_EQ(tt_e2e::mdb_export(dest, "a_b00000"), (rows{{"3"}, {"4"}, {"5"}, {"3"}, {"4"}, {"5"}}));
  EXPECT_EQ(tt_e2e::mdb_reader_rows(dest, "a_b00000").size(), 6u);
  tt_e2e::expect_sound(dest);
}

TEST_F(WizardE2E, CancelDuringARunStopsTheWorkerAndKeepsTheFileItWasToReplace) {
  // An existing Access file, to be replaced as a whole (mode 0) by a run that is cancelled.
  const std::string dest = dir.file("old.mdb");
  const std::string before = made_file(dest);
  std::vector<std::string> boxes;
  // A query that keeps the server busy for a while, then the tables.
  const int status = cancelled_run(dest, "SELECT SLEEP(3) AS pause", true, [] { QTest::qWait(500); }, boxes);
  EXPECT_EQ(status, 255);
  EXPECT_EQ(boxes, std::vector<std::string>{"Tabletide 6.1 Question|Are you sure you want to exit the wizard?"});
  EXPECT_EQ(tk_read_file(dest), before);
  // No partial file is left beside it.
  EXPECT_EQ(files_naming(dir.path(), "old"), std::vector<std::string>{"old.mdb"});
}

// Cancel while the server sends nothing (the row count waits for a lock the test holds): the run gives the source's
// connection up and ends at once. The lock still held when the wizard has closed shows it did not wait for the
// server.
TEST_F(WizardE2E, CancelWhileTheServerSendsNothingEndsTheRunWithoutWaitingForIt) {
  const std::string dest = dir.file("held.mdb");
  const std::string before = made_file(dest);
  tt_e2e::server_lock lock(server, "tt_stall_wizard");
  std::vector<std::string> boxes;
  const int status = cancelled_run(
      dest, "SELECT * FROM tags WHERE GET_LOCK('tt_stall_wizard', 3600) = 1", false,
      [&] {
        ASSERT_FALSE(lock.wait_for_waiter("SELECT COUNT(*) FROM (SELECT * FROM tags WHERE GET_LOCK", [] {
                           QTest::qWait(10);
                         }).empty());
      },
      boxes);
  EXPECT_TRUE(lock.held());
  EXPECT_EQ(status, 255);
  EXPECT_EQ(boxes, std::vector<std::string>{"Tabletide 6.1 Question|Are you sure you want to exit the wizard?"});
  EXPECT_EQ(tk_read_file(dest), before);
  EXPECT_EQ(files_naming(dir.path(), "held"), std::vector<std::string>{"held.mdb"});
}

TEST(WizardProgram, WithoutADisplayItSaysWhyAndEnds) {
  const tt_e2e::program_result r =
      tt_e2e::run_program({ROWFERRY_PATH}, {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, pf::no_display_text);
  EXPECT_EQ(r.out, "");
}

}  // namespace
