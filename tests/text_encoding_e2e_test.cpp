// Board programs whose strings are UTF-8 or code page 932: the LCD shows
// them the same, and a UTF-8 program may use what code page 932 cannot hold.
#include "tests/support/capture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

class TextEncoding : public TempDirTest {
protected:
    static constexpr int PAGES = 7;
    // The lcd, text and HTML dumps of every page the program shows.
    std::string pages(const std::string &program)
    {
        std::string scenario;
        for (int page = 0; page < PAGES; ++page) {
            std::string n = std::to_string(page);
            scenario += (page == 0 ? "wait 500\n" : "wait 1000\n") + ("dump lcd lcd" + n + ".txt\ndump screen screen" +
                        n + ".txt\ndump html screen" + n + ".html\n");
        }
        EXPECT_EQ(run_scenario(program, scenario, "0,0,0"), 0) << err;
        std::string dumps;
        for (int page = 0; page < PAGES; ++page)
            for (const char *kind : {"lcd", "screen"})
                for (const char *ext : {".txt", ".html"})
                    dumps += read(kind + std::to_string(page) + ext);
        return dumps;
    }
};

}  // namespace

TEST_F(TextEncoding, OneProgramBuiltWithUtf8AndWithCp932StringsShowsTheSameBytes)
{
#ifndef LCD_PAGES_CP932
    GTEST_SKIP() << "no C compiler here converts strings to code page 932";
#else
    std::string utf8_dumps = pages(LCD_PAGES_UTF8);
    EXPECT_EQ(read("lcd0.txt") + read("lcd1.txt") + read("lcd2.txt"),
              utf8(u8"ｽﾀｰﾄ : SW3      \nｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿ \n"
                   u8"ﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏ\nﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ\n"
                   u8"｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰ\n¥100 ¥ ~        \n"));
    EXPECT_EQ(read("lcd5.txt"), "`abcdefghijklmno\npqrstuvwxyz{|}~ \n");
    EXPECT_EQ(read("lcd6.txt"), utf8(u8"ｽﾀｰﾄ 25ﾟC ﾃｽ    \nｽﾀｰﾄ 25ﾟC ﾃｽﾂ･ﾂ \n"));
    EXPECT_EQ(pages(LCD_PAGES_CP932), utf8_dumps);
#endif
}

TEST_F(TextEncoding, Utf8ProgramWithChronoShowsTheBytesOfWhatTheLcdLacks)
{
    EXPECT_EQ(run_scenario(UTF8_CHRONO, "wait 100\ndump lcd lcd.txt\n", "0,0,0"), 0) << err;
    EXPECT_EQ(read("lcd.txt"), utf8(u8"Cafﾃｩ ｽﾀｰﾄ      \n500000 ﾂｵs      \n"));
}
