#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <type_traits>
#include <utility>

#include "TestSupport.h"
#include "share/native/applauncher/CfgFile.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/tstrings.h"

namespace {

static_assert(!std::is_convertible_v<CfgFile::SectionId, CfgFile::PropertyId> &&
                  !std::is_convertible_v<CfgFile::PropertyId, CfgFile::SectionId>,
              "section and property names must not mix");

const CfgFile::SectionId sections[] = {
    SectionName::Application,       SectionName::VexaOptions,
    SectionName::AppCDSVexaOptions, SectionName::AppCDSGenerateCacheVexaOptions,
    SectionName::ArgOptions,
    CfgFile::SectionId(""),  // nothing may ever be stored for "no section"
};

// Everything the configuration holds, as "[Section]name=<v1><v2>;...".
std::string dump(const CfgFile& cfg) {
  std::string text;
  for (const CfgFile::SectionId& section : sections) {
    const CfgFile::Properties& properties = cfg.getProperties(section);
    if (properties.empty()) continue;
    text += std::string("[") + section.name() + "]";
    for (const auto& [property, values] : properties) {
      text += std::string(property.name()) + "=";
      for (const std::string& value : values) text += "<" + value + ">";
      text += ";";
    }
  }
  return text;
}

CfgFile parse(const std::string& text) {
  std::istringstream stream(text);
  return CfgFile::parse(stream, "test.cfg");
}

// The raw message of the launcher error that `action` throws.
std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const LxError<std::runtime_error>& e) {
    return e.rawMessage();
  }
  return "(no error)";
}

// Serves `text`, then fails with EIO where a file would report its end.
class FailingBuffer : public std::streambuf {
 public:
  explicit FailingBuffer(std::string content) : content(std::move(content)) {
    setg(&this->content[0], &this->content[0], &this->content[0] + this->content.size());
  }

 protected:
  int_type underflow() override {
    errno = EIO;
    throw std::runtime_error("read failed");
  }

 private:
  std::string content;
};

struct Case {
  const char* input;
  const char* expected;
};

}  // namespace

TEST(CfgFileTest, Parse) {
  const Case cases[] = {
      {"", ""},
      {";[Application]\n\n; app.mainclass=x\n", ""},
      {"[Application]\napp.mainclass=a=b\n", "[Application]app.mainclass=<a=b>;"},
      {"[Application]\napp.mainclass=\n", "[Application]app.mainclass=<>;"},
      {"[Application]\napp.mainclass\n", "[Application]app.mainclass=<>;"},
      // Names are exact: no trimming, case matters, empty names are unknown.
      {"[Application]\n=x\n app.mainclass=x\napp.mainclass =x\nApp.mainclass=x\n", ""},
      {"[Application]\napp.mainclass= x \n", "[Application]app.mainclass=< x >;"},
      // "#" starts no comment and "#[...]" no section.
      {"[ArgOptions]\n#[Application]\narguments=a\n", "[ArgOptions]arguments=<a>;"},
      {"[Application] trailing text\napp.mainclass=M\n", "[Application]app.mainclass=<M>;"},
      {"[Application]x]\napp.mainclass=M\n", ""},  // the name ends at the last "]"
      {"[application]\napp.mainclass=M\n[ Application ]\napp.mainclass=N\n[]\narguments=O\n", ""},
      {"app.mainclass=before\n[Application]\napp.mainclass=M\n", "[Application]app.mainclass=<M>;"},
      {"[Application]\napp.mainclass=M\n[Unknown]\napp.mainclass=N\n",
       "[Application]app.mainclass=<M>;"},
      // An "=" after a backslash does not split; nothing is unescaped.
      {"[Application]\napp.mainclass\\=x=y\n", ""},
      {"[ArgOptions]\narguments=a\\=b\n", "[ArgOptions]arguments=<a\\=b>;"},
      // Carriage returns stay in values; the header name ends at its "]".
      {"[Application]\r\napp.mainclass=Main\r\n", "[Application]app.mainclass=<Main\r>;"},
      {"[Application]\napp.mainclass=Main", "[Application]app.mainclass=<Main>;"},
      {"[ArgOptions]\narguments=\xc3\xa9\xff\x01\n", "[ArgOptions]arguments=<\xc3\xa9\xff\x01>;"},
      {"[ArgOptions]\narguments=a\narguments=b\n", "[ArgOptions]arguments=<a><b>;"},
      // A repeated section replaces the earlier one only with recognised content.
      {"[ArgOptions]\narguments=a\narguments=b\n[ArgOptions]\narguments=c\n",
       "[ArgOptions]arguments=<c>;"},
      {"[ArgOptions]\narguments=a\n[ArgOptions]\nargument=c\n", "[ArgOptions]arguments=<a>;"},
      {"[Application]\napp.mainclass=M\napp.runtime=R\n[Application]\napp.splash=S\n",
       "[Application]app.splash=<S>;"},
      {"[ArgOptions]\narguments=a\n[Application]\napp.mainclass=M\n[ArgOptions]\n",
       "[Application]app.mainclass=<M>;[ArgOptions]arguments=<a>;"},
      {"[Application]\narguments=a\n[ArgOptions]\narguments=b\n",
       "[Application]arguments=<a>;[ArgOptions]arguments=<b>;"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, dump(parse(c.input))) << testing::PrintToString(c.input);
  }
}

TEST(CfgFileTest, EveryTableNameIsRecognised) {
  const char* const sectionNames[] = {"Application", "VexaOptions", "AppCDSVexaOptions",
                                      "AppCDSGenerateCacheVexaOptions", "ArgOptions"};
  const std::pair<CfgFile::PropertyId, const char*> propertyNames[] = {
      {PropertyName::version, "app.version"},       {PropertyName::mainzep, "app.mainzep"},
      {PropertyName::mainmodule, "app.mainmodule"}, {PropertyName::mainclass, "app.mainclass"},
      {PropertyName::classpath, "app.classpath"},   {PropertyName::modulepath, "app.modulepath"},
      {PropertyName::runtime, "app.runtime"},       {PropertyName::splash, "app.splash"},
      {PropertyName::memory, "app.memory"},         {PropertyName::arguments, "arguments"},
      {PropertyName::vexaOptions, "vexa-options"},
  };
  std::string text;
  for (const char* section : sectionNames) {
    text += std::string("[") + section + "]\n";
    for (const auto& property : propertyNames) {
      text += std::string(property.second) + "=" + section + "\n";
    }
  }
  const CfgFile cfg = parse(text);
  for (std::size_t i = 0; i < std::size(sectionNames); ++i) {
    const CfgFile::Properties& properties = cfg.getProperties(sections[i]);
    ASSERT_EQ(std::size(propertyNames), properties.size()) << sectionNames[i];
    for (const auto& property : propertyNames) {
      const auto found = properties.find(property.first);
      ASSERT_NE(properties.end(), found) << sectionNames[i] << " " << property.second;
      EXPECT_EQ(std::vector<std::string>{sectionNames[i]}, found->second) << property.second;
    }
  }
}

TEST(CfgFileTest, IdsCompareByText) {
  const std::string application = "Application";
  EXPECT_EQ(SectionName::Application, CfgFile::SectionId(application.c_str()));
  EXPECT_NE(SectionName::Application, SectionName::ArgOptions);
  EXPECT_LT(CfgFile::PropertyId("app"), CfgFile::PropertyId("app.main"));
  EXPECT_FALSE(CfgFile::PropertyId("app.main") < CfgFile::PropertyId("app"));
  EXPECT_LT(CfgFile::PropertyId("z"), CfgFile::PropertyId("\xc3"));  // bytes are unsigned
  EXPECT_FALSE(PropertyName::arguments < CfgFile::PropertyId("arguments"));
}

TEST(CfgFileTest, MissingBracketNamesTheLine) {
  struct ErrorCase {
    const char* input;
    int line;
  };
  const ErrorCase cases[] = {
      {"[", 1},
      {"; comment\n\n[Application\n", 3},
      {"[Application]\napp.mainclass=M\r\n[ArgOptions\r\n", 3},
      {"[Unknown]\nx\n\n\n[\n[Application]\n", 5},
  };
  for (const ErrorCase& c : cases) {
    EXPECT_EQ(
        "Error parsing [test.cfg] file at " + std::to_string(c.line) + ": Missing ']' character",
        errorOf([&] { parse(c.input); }))
        << testing::PrintToString(c.input);
  }
}

TEST(CfgFileTest, NulInAKnownValueNamesTheLine) {
  const std::string nul(1, '\0');
  const std::string refused[] = {
      "[Application]\napp.mainclass=Ma" + nul + "in\n",
      "; c\n[ArgOptions]\narguments=a\narguments=" + nul + "\n",
  };
  const int lines[] = {2, 4};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ("Error parsing [test.cfg] file at " + std::to_string(lines[i]) +
                  ": NUL character in the value of " + (i ? "arguments" : "app.mainclass"),
              errorOf([&] { parse(refused[i]); }))
        << testing::PrintToString(refused[i]);
  }
  // Skipped lines may hold anything.
  const std::string skipped = "app.mainclass=" + nul + "\n[Other]\napp.mainclass=" + nul +
                              "\n[Application]\nother=" + nul + "\napp." + nul + "=x\n";
  EXPECT_EQ("", dump(parse(skipped)));
}

TEST(CfgFileTest, LoadReadsARealFile) {
  TempDir dir;
  writeFile(dir / "app.cfg", "[Application]\r\napp.mainclass=Main\r\n[ArgOptions]\narguments=a");
  EXPECT_EQ("[Application]app.mainclass=<Main\r>;[ArgOptions]arguments=<a>;",
            dump(CfgFile::load(dir / "app.cfg")));
  writeFile(dir / "bad.cfg", "[Application]\n[ArgOptions\n");
  EXPECT_EQ("Error parsing [" + (dir / "bad.cfg") + "] file at 2: Missing ']' character",
            errorOf([&] { CfgFile::load(dir / "bad.cfg"); }));
}

TEST(CfgFileTest, OpenAndReadFailures) {
  TempDir dir;
  writeFile(dir / "file", "");
  const std::string missing = dir / "missing.cfg";
  const std::string underFile = dir / "file/app.cfg";
  EXPECT_EQ("Error opening \"" + missing + "\" file: " + std::strerror(ENOENT),
            errorOf([&] { CfgFile::load(missing); }));
  EXPECT_EQ("Error opening \"" + underFile + "\" file: " + std::strerror(ENOTDIR),
            errorOf([&] { CfgFile::load(underFile); }));
  // Only a regular file is read: a FIFO without a writer would block, a device
  // never end.
  ASSERT_EQ(0, mkfifo((dir / "fifo").c_str(), 0644));
  const struct {
    std::string path;
    std::string reason;
  } refused[] = {
      {dir.path(), std::strerror(EISDIR)},
      {dir / "fifo", "Not a regular file"},
      {"/dev/zero", "Not a regular file"},
  };
  for (const auto& c : refused) {
    EXPECT_EQ("Error opening \"" + c.path + "\" file: " + c.reason,
              errorOf([&] { CfgFile::load(c.path); }));
  }

  FailingBuffer buffer("[Application]\napp.mainclass=M\n");
  std::istream stream(&buffer);
  EXPECT_EQ(std::string("Failed to read \"s.cfg\" file up to the end: ") + std::strerror(EIO),
            errorOf([&] { CfgFile::parse(stream, "s.cfg"); }));
}

TEST(CfgFileTest, GetAndSetProperties) {
  CfgFile cfg = parse("[Application]\napp.mainclass=M\napp.mainclass=N\napp.runtime=R\n");
  EXPECT_TRUE(cfg.getProperties(SectionName::ArgOptions).empty());
  EXPECT_EQ(&cfg.getProperties(SectionName::ArgOptions),
            &cfg.getProperties(SectionName::VexaOptions));

  CfgFile& same =
      cfg.setPropertyValue(SectionName::Application, PropertyName::mainclass, {"X"})
          .setPropertyValue(SectionName::ArgOptions, PropertyName::arguments, {"a", "b"});
  EXPECT_EQ(&cfg, &same);
  EXPECT_EQ("[Application]app.mainclass=<X>;app.runtime=<R>;[ArgOptions]arguments=<a><b>;",
            dump(cfg));
}

TEST(CfgFileTest, AsStringAsPathListAndJoin) {
  struct ListCase {
    std::vector<std::string> values;
    const char* last;
    const char* pathList;
  };
  const ListCase cases[] = {
      {{"a", "b"}, "b", "a:b"},
      {{"a"}, "a", "a"},
      {{}, "", ""},
      {{"", ""}, "", ":"},
      {{"/x/a.zep", "", "b"}, "b", "/x/a.zep::b"},
  };
  for (const ListCase& c : cases) {
    const CfgFile::Property property(PropertyName::classpath, c.values);
    const std::string shown = testing::PrintToString(c.values);
    EXPECT_EQ(c.last, CfgFile::asString(property)) << shown;
    EXPECT_EQ(c.pathList, CfgFile::asPathList(property)) << shown;
    EXPECT_EQ(c.pathList, tstrings::join(c.values.begin(), c.values.end(),
                                         std::string(1, FileUtils::pathSeparator)))
        << shown;
  }
  const std::vector<std::string> abc{"a", "b", "c"};
  EXPECT_EQ("a;b;c", tstrings::join(abc.begin(), abc.end(), std::string(";")));
}

TEST(CfgFileTest, ExpandMacros) {
  struct ExpandCase {
    CfgFile::Macros macros;
    const char* value;
    const char* expected;
    bool selfReferential;
  };
  const CfgFile::Macros dirs = {{"$APPDIR", "/x/app"}, {"$ROOTDIR", "/x"}};
  std::string manyA;
  for (int i = 0; i < 400; ++i) manyA += "$A";
  const ExpandCase cases[] = {
      {dirs, "$APPDIR/a.zep:$APPDIR/b.zep", "/x/app/a.zep:/x/app/b.zep", false},
      {dirs, "$ROOTDIR/$APPDIR", "/x//x/app", false},
      {dirs, "$HOME/$APPDIRX", "$HOME//x/appX", false},
      {dirs, "", "", false},
      {{}, "$APPDIR", "$APPDIR", false},
      // Replacement text naming a later macro is expanded in the same pass,
      // one naming an earlier macro in the next pass.
      {{{"$APPDIR", "$ROOTDIR/app"}, {"$ROOTDIR", "/x"}}, "$APPDIR/lib", "/x/app/lib", false},
      {{{"$APPDIR", "/x/app"}, {"$ROOTDIR", "$APPDIR/.."}}, "$ROOTDIR", "/x/app/..", false},
      {{{"$A", "1"}, {"$B", "$C"}, {"$C", "$A"}}, "$B", "1", false},
      {{{"$A", "a"}, {"$AB", "b"}}, "$AB", "aB", false},
      // A pass that changes the value and changes it back leaves it unchanged.
      {{{"$A", "$B"}, {"$B", "$A"}}, "$A", "$A", false},
      {{{"", "zzz"}, {"$A", "a"}}, "x$A", "xa", false},
      // Tables that refer to themselves: one substitution without rescanning.
      {{{"$APPDIR", "/opt/$APPDIR/app"}}, "$APPDIR/lib", "/opt/$APPDIR/app/lib", true},
      {{{"$A", "x$B"}, {"$B", "y$A"}}, "$A-$B", "x$B-y$A", true},
      {{{"$A", "[$A]"}, {"$AB", "no"}}, "$AB$A", "[$A]B[$A]", true},
      {{{"$A", "$A$A"}}, "$A$A$A", "$A$A$A$A$A$A", true},
      // Four passes would make 400^4 copies of "$A".
      {{{"$A", manyA}, {"$B", "b"}, {"$C", "c"}}, "$A", manyA.c_str(), true},
  };
  for (const ExpandCase& c : cases) {
    CfgFile cfg;
    cfg.setPropertyValue(SectionName::Application, PropertyName::classpath, {c.value});
    RecordingAppender records;
    const CfgFile expanded = cfg.expandMacros(c.macros);
    const auto& values =
        expanded.getProperties(SectionName::Application).at(PropertyName::classpath);
    const std::string shown = std::string(c.value) + " with " + testing::PrintToString(c.macros);
    EXPECT_EQ(std::vector<std::string>{c.expected}, values) << shown;
    EXPECT_EQ(c.selfReferential ? 1u : 0u, records.events.size()) << shown;
    // A configuration about to go away is expanded in place, to the same result.
    EXPECT_EQ(dump(expanded), dump(CfgFile(cfg).expandMacros(c.macros))) << shown;
  }
}

TEST(CfgFileTest, ExpandMacrosCopiesEveryValueInOrder) {
  const CfgFile cfg = parse(
      "[Application]\napp.modulepath=$A/m1\napp.modulepath=m2\napp.modulepath=$A/m3\n"
      "[VexaOptions]\nvexa-options=-Dx=$A\n[ArgOptions]\narguments=$A\narguments=$B\n");
  const std::string before = dump(cfg);
  const CfgFile expanded = cfg.expandMacros({{"$A", "/a"}});
  EXPECT_EQ(
      "[Application]app.modulepath=</a/m1><m2></a/m3>;[VexaOptions]vexa-options=<-Dx=/a>;"
      "[ArgOptions]arguments=</a><$B>;",
      dump(expanded));
  EXPECT_EQ(before, dump(cfg));
}

TEST(CfgFileTest, DirectoryNamedLikeAMacroComesOutVerbatim) {
  TempDir dir;
  const std::string root = dir / "$APPDIR/$ROOTDIR$BINDIR.app";
  const std::string appDir = root + "/Contents/app";
  writeFile(appDir + "/a.zep", "");
  writeFile(appDir + "/X.cfg",
            "[Application]\napp.classpath=$APPDIR/a.zep\napp.runtime=$ROOTDIR/Contents/runtime\n"
            "[ArgOptions]\narguments=$BINDIR/X\n");
  const CfgFile::Macros macros = {
      {"$APPDIR", appDir}, {"$BINDIR", root + "/Contents/MacOS"}, {"$ROOTDIR", root}};

  RecordingAppender records;
  const CfgFile cfg = CfgFile::load(appDir + "/X.cfg").expandMacros(macros);
  const CfgFile::Properties& application = cfg.getProperties(SectionName::Application);
  const std::string classpath = CfgFile::asPathList(*application.find(PropertyName::classpath));
  EXPECT_EQ(appDir + "/a.zep", classpath);
  EXPECT_TRUE(FileUtils::isFileExists(classpath));
  EXPECT_EQ(root + "/Contents/runtime",
            CfgFile::asString(*application.find(PropertyName::runtime)));
  EXPECT_EQ(std::vector<std::string>{root + "/Contents/MacOS/X"},
            cfg.getProperties(SectionName::ArgOptions).at(PropertyName::arguments));
  ASSERT_EQ(3u, records.events.size());
  EXPECT_EQ("TRACE", records.events[0].logLevel);
  EXPECT_NE(std::string::npos, records.events[0].message.find("refer to themselves"))
      << records.events[0].message;

  records.events.clear();
  parse("[Application]\napp.classpath=$APPDIR/a.zep\n").expandMacros({{"$APPDIR", "/x"}});
  EXPECT_TRUE(records.events.empty());
}

namespace {

// Every event as one line of text, in the order the parser sends them.
class EventLog final : public CfgFileObserver {
 public:
  std::vector<std::string> events;

  void line(std::int64_t number, std::string_view text) override {
    events.push_back(std::to_string(number) + " line " + std::string(text));
  }
  void section(std::int64_t number, std::string_view name, bool known) override {
    events.push_back(std::to_string(number) + (known ? " section " : " unknown section ") +
                     std::string(name));
  }
  void property(std::int64_t number, std::string_view name, std::string_view value,
                bool recorded) override {
    events.push_back(std::to_string(number) + (recorded ? " property " : " skipped ") +
                     std::string(name) + "=" + std::string(value));
  }
  void committed(const CfgFile::SectionId& section, bool replaced) override {
    events.push_back(std::string(replaced ? "replaced " : "committed ") + section.name());
  }
};

}  // namespace

TEST(CfgFileTest, ObserverSeesWhatTheParserMakesOfEachLine) {
  std::istringstream in(
      "early=1\n"
      "[Application]\n"
      "app.mainclass=A\n"
      "app.mainClass=B\n"
      "; note\n"
      "[Other]\n"
      "arguments=x\n"
      "[Application]\n"
      "[Application]\n"
      "app.runtime\n");
  EventLog log;
  const CfgFile cfg = CfgFile::parse(in, "observed.cfg", &log);
  const std::vector<std::string> expected = {
      "1 line early=1",         "1 skipped early=1",           "2 line [Application]",
      "2 section Application",  "3 line app.mainclass=A",      "3 property app.mainclass=A",
      "4 line app.mainClass=B", "4 skipped app.mainClass=B",   "5 line ; note",
      "6 line [Other]",         "committed Application",       "6 unknown section Other",
      "7 line arguments=x",     "7 skipped arguments=x",       "8 line [Application]",
      "8 section Application",  "9 line [Application]",        "9 section Application",
      "10 line app.runtime",    "10 property app.runtime=",    "replaced Application",
  };
  EXPECT_EQ(expected, log.events);
  // The observer changes nothing: the later occurrence replaced the first.
  EXPECT_EQ("[Application]app.runtime=<>;", dump(cfg));
}
