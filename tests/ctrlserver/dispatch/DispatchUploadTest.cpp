// The upload and update commands: blocks and their refusals, names kept inside the upload
// area, abandoned uploads, picture and archive checks, device lists, firmware updates and the
// server address.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "DispatchFixture.h"
#include "box/Box.h"
#include "support/JpegBuilder.h"
#include "support/UploadTexts.h"

namespace {

using Shape = std::vector<std::string>;
using qeltest::JpegBuilder;

using qeltest::hexOf;

class DispatchUpload : public DispatchTest {
public:
    // The replies to one command sent from connection tag.
    std::vector<Reply> from(const std::string& tag, const std::string& cmd) {
        return run(tag + "|" + cmd).replies;
    }
    Shape shapeFrom(const std::string& tag, const std::string& cmd, std::string* echo = nullptr) {
        return shape(from(tag, cmd), echo);
    }

    // A whole upload from one connection: start, blocks of at most 30000 bytes, stop. The
    // shape of the stop's replies.
    Shape upload(const std::string& name, const std::string& bytes, const std::string& tag = "9") {
        EXPECT_EQ(shapeFrom(tag, "update data start " + name), Shape{"ack+"}) << name;
        for (size_t at = 0; at < bytes.size(); at += 30000) {
            const std::string part = bytes.substr(at, 30000);
            EXPECT_EQ(shapeFrom(tag, "update data block " + std::to_string(at) + "," +
                                         std::to_string(part.size()) + "|" + hexOf(part)),
                      Shape{"ack+"});
        }
        return shapeFrom(tag, "update data stop " + name);
    }

    std::string area(const std::string& name) const { return root + "/dev/tftpboot/" + name; }
    std::string content(const std::string& path) const { return qeltest::readAll(path); }
    bool present(const std::string& path) const {
        struct stat st;
        return lstat(path.c_str(), &st) == 0;
    }
    void put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    // The names in a directory of the box, sorted, hidden ones included.
    std::vector<std::string> list(const std::string& boxDir) const {
        return qeltest::dirNames(root + boxDir);
    }
    static std::string bytes(const JpegBuilder::Bytes& b) {
        return std::string(b.begin(), b.end());
    }
};

TEST_F(DispatchUpload, BlocksDecodeEitherCaseAndAreAcknowledgedUpToTheBar) {
    ASSERT_EQ(shapeFrom("9", "update data start a.bin"), Shape{"ack+"});
    // The gate lets uploads through before any login.
    EXPECT_EQ(ctrl->loggedIn, 0);
    EXPECT_EQ(jsonOf(from("9", "update data block 0,3|414243")),
              std::vector<Json::Value>{oldAck("update data block 0,3", true)});
    EXPECT_EQ(jsonOf(from("9", "update data block 3,3|616263")),
              std::vector<Json::Value>{oldAck("update data block 3,3", true)});
    EXPECT_EQ(jsonOf(from("9", "update data block 6,3|6a6B6C")),
              std::vector<Json::Value>{oldAck("update data block 6,3", true)});
    // A count of 0 writes nothing; digits past 2n are not read.
    EXPECT_EQ(shapeFrom("9", "update data block 9,0|"), Shape{"ack+"});
    EXPECT_EQ(shapeFrom("9", "update data block 9,1|7AZZ"), Shape{"ack+"});
    EXPECT_EQ(list("/dev/tftpboot"), std::vector<std::string>{".upload.part"});
    EXPECT_EQ(jsonOf(from("9", "update data stop a.bin")),
              std::vector<Json::Value>{oldAck("update data stop a.bin", true)});
    EXPECT_EQ(content(area("a.bin")), "ABCabcjklz");
    EXPECT_EQ(list("/dev/tftpboot"), std::vector<std::string>{"a.bin"});
}

TEST_F(DispatchUpload, RefusedBlocksWriteNothingAndLeaveTheUploadOpen) {
    // Without an open upload every block and stop is refused.
    EXPECT_EQ(shapeFrom("9", "update data block 0,1|41"), Shape{"ack-"});
    EXPECT_EQ(shapeFrom("9", "update data stop a.bin"), Shape{"ack-"});
    ASSERT_EQ(shapeFrom("9", "update data start a.bin"), Shape{"ack+"});
    const struct {
        const char* tag;
        const char* cmd;
        const char* echo;
    } refused[] = {
        {"9", "update data block 0,1 41", "update data block 0,1 41"},   // no bar
        {"9", "update data block 0,4|414243", "update data block 0,4"},  // n past the payload
        {"9", "update data block 0,2|41G1", "update data block 0,2"},    // not hexadecimal
        {"9", "update data block 0,1| 41", "update data block 0,1"},     // a blank is no digit
        {"12", "update data block 0,1|41", "update data block 0,1"},     // another connection
        {"12", "update data stop a.bin", "update data stop a.bin"},
    };
    for (const auto& r : refused) {
        std::string echo;
        EXPECT_EQ(shapeFrom(r.tag, r.cmd, &echo), Shape{"ack-"}) << r.cmd;
        EXPECT_EQ(echo, r.echo);
    }
    EXPECT_EQ(shapeFrom("9", "update data block 0,1|5a"), Shape{"ack+"});
    EXPECT_EQ(shapeFrom("9", "update data stop a.bin"), Shape{"ack+"});
    EXPECT_EQ(content(area("a.bin")), "Z");
}

TEST_F(DispatchUpload, NamesStayInsideTheUploadArea) {
    put(file("/mnt/x"), "mine");
    EXPECT_EQ(upload("../mnt/x", "new"), Shape{"ack+"});
    EXPECT_EQ(content(file("/mnt/x")), "mine");
    EXPECT_EQ(content(area("x")), "new");
    EXPECT_EQ(upload("..\\..\\y.bin", "y"), Shape{"ack+"});
    EXPECT_EQ(content(area("y.bin")), "y");

    const std::string refused[] = {"a$(id).jpg",
                                   "..",
                                   ".",
                                   "-r.tar",
                                   ".upload.part",
                                   ".hidden",
                                   "dir/",
                                   "a b.bin",
                                   "a;b.bin",
                                   std::string(246, 'n'),
                                   ""};
    for (const std::string& name : refused) {
        EXPECT_EQ(shapeFrom("9", "update data start " + name), Shape{"ack-"}) << name;
        EXPECT_EQ(shapeFrom("9", "update data block 0,1|41"), Shape{"ack-"}) << name;
    }
    EXPECT_EQ(shapeFrom("9", "update data start"), Shape{"ack-"});
    EXPECT_EQ(upload(std::string(245, 'n'), "long"), Shape{"ack+"});
    EXPECT_EQ(list("/dev/tftpboot"),
              (std::vector<std::string>{std::string(245, 'n'), "x", "y.bin"}));
    EXPECT_EQ(content(file("/mnt/x")), "mine");
}

TEST_F(DispatchUpload, AbandonedUploadsDestroyNothing) {
    ASSERT_EQ(upload("TX_Update_1.bin", "old"), Shape{"ack+"});
    // A second start abandons the first upload; a stop of another name abandons the second.
    ASSERT_EQ(shapeFrom("9", "update data start TX_Update_2.bin"), Shape{"ack+"});
    EXPECT_EQ(shapeFrom("9", "update data block 0,1|41"), Shape{"ack+"});
    ASSERT_EQ(shapeFrom("9", "update data start TX_Update_3.bin"), Shape{"ack+"});
    EXPECT_EQ(shapeFrom("9", "update data block 0,1|42"), Shape{"ack+"});
    EXPECT_EQ(shapeFrom("9", "update data stop TX_Update_2.bin"), Shape{"ack-"});
    EXPECT_EQ(shapeFrom("9", "update data block 0,1|43"), Shape{"ack-"});
    EXPECT_EQ(list("/dev/tftpboot"), std::vector<std::string>{"TX_Update_1.bin"});

    // A part file left behind (a restart) is swept by the next start.
    put(area(".upload.part"), "stale");
    EXPECT_EQ(upload("TX_Update_4.bin", "new"), Shape{"ack+"});
    EXPECT_EQ(list("/dev/tftpboot"), std::vector<std::string>{"TX_Update_4.bin"});
    EXPECT_EQ(content(area("TX_Update_4.bin")), "new");
}

TEST_F(DispatchUpload, KeptFilesReplaceTheirFamily) {
    ASSERT_TRUE(box::makeDirs("/dev/tftpboot/keep.jpg.d"));
    for (const char* n : {"RX_Update_old.tar", "TX_Update_old.tar", "a.csv", "b.jpg", "c.bin"})
        put(area(n), "old");
    EXPECT_EQ(upload("d.csv", "x"), Shape{"ack+"});
    EXPECT_EQ(upload("RX_Update_new.bin", "x"), Shape{"ack+"});
    EXPECT_EQ(list("/dev/tftpboot"),
              (std::vector<std::string>{"RX_Update_new.bin", "TX_Update_old.tar", "b.jpg", "c.bin",
                                        "d.csv", "keep.jpg.d"}));
    // A refused picture leaves the stored one; an accepted one replaces it.
    EXPECT_EQ(upload("e.jpg", bytes(JpegBuilder::picture(1280, 720))), Shape{"ack-"});
    EXPECT_TRUE(present(area("b.jpg")));
    EXPECT_EQ(upload("f.jpg", bytes(JpegBuilder::picture(1920, 1080))), Shape{"ack+"});
    EXPECT_EQ(list("/dev/tftpboot"),
              (std::vector<std::string>{"RX_Update_new.bin", "TX_Update_old.tar", "c.bin", "d.csv",
                                        "f.jpg", "keep.jpg.d"}));
}

TEST_F(DispatchUpload, PicturesMustBeFullScreenAndAtMostTwoMebibytes) {
    const size_t limit = 2097152;
    EXPECT_EQ(upload("max.jpg", bytes(JpegBuilder::picture(1920, 1080, 0x22, limit))),
              Shape{"ack+"});
    EXPECT_EQ(content(area("max.jpg")).size(), limit);
    EXPECT_EQ(upload("big.jpg", bytes(JpegBuilder::picture(1920, 1080, 0x22, limit + 1))),
              Shape{"ack-"});
    EXPECT_FALSE(present(area("big.jpg")));
    EXPECT_EQ(upload("small.jpg", bytes(JpegBuilder::picture(1280, 720))), Shape{"ack-"});
    EXPECT_FALSE(present(area("small.jpg")));
    // A header the reader does not take: refused, kept for a look.
    JpegBuilder exif;
    exif.soi().app1().app0().dqt().sof(1920, 1080).dht().sos().eoi();
    EXPECT_EQ(upload("exif.jpg", exif.text()), Shape{"ack-"});
    EXPECT_EQ(content(area("exif.jpg")), exif.text());
    EXPECT_EQ(list("/dev/tftpboot"), (std::vector<std::string>{"exif.jpg", "max.jpg"}));
}

TEST_F(DispatchUpload, ArchivesAreTestedByExtractionAndKept) {
    // A gzip tar of one file, made beside the box root.
    const std::string work = root + "/../" + std::string("qel-tar-") + std::to_string(getpid());
    ASSERT_EQ(mkdir(work.c_str(), 0755), 0);
    put(work + "/fw.bin", std::string(5000, 'f'));
    ASSERT_EQ(::system(("tar -czf '" + work + "/a.tar' -C '" + work + "' fw.bin").c_str()), 0);
    const std::string archive = content(work + "/a.tar");
    ::system(("rm -rf '" + work + "'").c_str());
    ASSERT_GT(archive.size(), 40u);

    put(area("RX_Update_old.tar"), "old");
    EXPECT_EQ(upload("RX_Update_a.tar", archive), Shape{"ack+"});
    EXPECT_EQ(content(area("RX_Update_a.tar")), archive);
    EXPECT_FALSE(present(area("RX_Update_old.tar")));
    EXPECT_EQ(list("/dev/tftpbootuntar"), std::vector<std::string>{});

    EXPECT_EQ(upload("cut.tar", archive.substr(0, archive.size() / 2)), Shape{"ack-"});
    EXPECT_TRUE(present(area("cut.tar")));
    EXPECT_EQ(list("/dev/tftpbootuntar"), std::vector<std::string>{});
}

TEST_F(DispatchUpload, DeviceListLinesAreCheckedBeforeTheyAreSent) {
    std::string csv =
        "00:11:22:33:44:55,10.77.0.9,abc,255.255.255.0,10.77.0.1\r\n"
        "00:11:22:33:44:56,10.77.0.10,ninechars,255.255.255.0,10.77.0.1\r\n"
        "00-11-22-33-44-57,10.77.0.11,d,255.255.255.0,10.77.0.1\n"
        "00:11:22:33:44:58,,e,255.255.255.0,10.77.0.1\n"
        "00:11:22:33:44:59,10.77.0.12," +
        std::string(64, 'f') +
        ",255.255.255.0,10.77.0.1\n"
        "00:11:22:33:44:5a,999.1.1.1,g,255.0.0.0,10.0.0.1\t\n"
        "a\n"
        "\n";
    for (int i = 9; i < 200; ++i) csv += "not a device line\n";
    csv += "00:11:22:33:44:5b,10.77.0.13,L200,255.255.255.0,10.77.0.1\n";
    csv += "00:11:22:33:44:5c,10.77.0.14,L201,255.255.255.0,10.77.0.1\n";
    ASSERT_EQ(upload("list.csv", csv), Shape{"ack+"});

    testing::internal::CaptureStderr();
    const std::vector<Reply> r = from("9", "update csv with list.csv");
    const std::string sent = testing::internal::GetCapturedStderr();
    EXPECT_EQ(jsonOf(r), std::vector<Json::Value>{oldAck("update csv with list.csv", true)});
    std::vector<std::string> lines;
    std::istringstream in(sent);
    for (std::string l; std::getline(in, l);)
        if (l.find("netandname") != std::string::npos) lines.push_back(l);
    const std::string kSend = "Send config qel set netandname params ";
    EXPECT_EQ(lines, (std::vector<std::string>{
                         kSend + "00:11:22:33:44:55 10.77.0.9 255.255.255.0 10.77.0.1 abc",
                         kSend + "00:11:22:33:44:5a 999.1.1.1 255.0.0.0 10.0.0.1 g",
                         kSend + "00:11:22:33:44:5b 10.77.0.13 255.255.255.0 10.77.0.1 L200"}))
        << sent;

    EXPECT_EQ(shapeFrom("9", "update csv with missing.csv"), Shape{"ack-"});
    // A path is reduced to its file name in the upload area.
    put(file("/mnt/other.csv"), csv);
    EXPECT_EQ(shapeFrom("9", "update csv with ../mnt/other.csv"), Shape{"ack-"});
    EXPECT_EQ(shapeFrom("9", "update csv list.csv"), Shape{"ack-"});
}

TEST_F(DispatchUpload, UpdatesTakeAPlainFileAndAShortTarget) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(
        jsonOf(from("9", "update firmware 10.77.0.2 with RX_Update_a.tar filesize 10 type dec")),
        std::vector<Json::Value>{
            oldAck("update firmware 10.77.0.2 with RX_Update_a.tar filesize 10 type dec", true)});
    EXPECT_EQ(shapeFrom("9", "update res 10.77.0.2 with ../../etc/logo.jpg filesize 7 type dec"),
              Shape{"ack+"});
    EXPECT_EQ(shapeFrom("9", "update firmware 10.77.0.2 with a$(id) filesize 1 type dec"),
              Shape{"ack-"});
    EXPECT_EQ(shapeFrom("9", "update firmware 10.77.0.2 filesize 1 type dec"), Shape{"ack-"});
    EXPECT_EQ(shapeFrom("9", "update firmware " + std::string(20, '1') + " with a.tar"),
              Shape{"ack-"});
    const std::string sent = testing::internal::GetCapturedStderr();
    EXPECT_NE(sent.find("config qel set update file 10.77.0.2 RX_Update_a.tar 10 type dec"),
              std::string::npos)
        << sent;
    EXPECT_NE(sent.find("config qel set update file 10.77.0.2 logo.jpg 7 type dec"),
              std::string::npos)
        << sent;
    EXPECT_EQ(sent.find("$(id)"), std::string::npos) << sent;

    EXPECT_EQ(shapeFrom("9", "update set serverip 10.77.0.1"), Shape{"ack+"});
    EXPECT_EQ(server->serverIP, "10.77.0.1");
    for (const char* bad : {"update set serverip 10.77.0", "update set serverip",
                            "update set serverip 10.77.0.1 x", "update set serverip 10.77.0.300"})
        EXPECT_EQ(shapeFrom("9", bad), Shape{"ack-"}) << bad;
    EXPECT_EQ(server->serverIP, "10.77.0.1");
}

}  // namespace
