#include "app/string_table.h"

#include <fstream>
#include <map>
#include <optional>
#include <unordered_map>

#include "app/message_box.h"
#include "app/profile.h"

namespace zell {
namespace {

const std::unordered_map<int, const char*>& table()
{
    static const std::unordered_map<int, const char*> texts = {
        {20001, "zell のﾊﾞｰｼﾞｮﾝ情報(&A)..."},
        // frame list: context menu, headings, cells
        {20101, "表示(&S)\tEnter"},
        {20102, "フレーム名変更(&R)\tCtrl+R"},
        {20103, "複製の作成(&C)\tCtrl+C"},
        {20104, "削除(&D)\tDelete"},
        {20105, "トップへ移動(&T)\tCtrl+-"},
        {20106, "１つ上へ移動(&P)\t-"},
        {20107, "１つ下へ移動(&N)\t+"},
        {20108, "ラストへ移動(&L)\tCtrl++"},
        {20111, "No."},
        {20112, "フレーム名"},
        {20113, "位置"},
        {20114, "サイズ"},
        {20115, "色数"},
        {20116, "LT"},
        {20117, "UI"},
        {20118, "透過"},
        {20119, "DM"},
        {20120, "待機"},
        {20121, "(%d, %d)"},
        {20122, "%d x %d"},
        {20123, "○"},
        {20124, "×"},
        {20125, "無"},
        {20135, "0: 指定しない"},
        {20136, "1: 現在のまま"},
        {20137, "2: 背景色で塗り潰し"},
        {20138, "3: 以前の状態を復元"},
        // tool tips
        {20139, "Gif全体の横幅\nRange:[0 - 65535]"},
        {20140, "Gif全体の縦幅\nRange:[0 - 65535]"},
        {20141, "登録されているフレーム情報からGIFのサイズを求める"},
        {20142, "Global Color Table（共通パレット）を作成するなら[ON]"},
        {20143, "背景色に設定されている色の情報\n※ 背景色はGif全体で１色のみ指定可"},
        {20144, "AnimationGifをトグルに（繰り返し）再生するなら[ON]"},
        {20145, "再生回数に制限を設けるなら[ON]\n無限に再生を続けるなら[OFF]"},
        {20146, "繰り返し再生回数\nRange:[0 - 65535]"},
        {20147, "GIFファイルにコメントを保存するなら[ON]"},
        {20148, "GIFの仕様は「7Bit ASCII しか認めない」と言ってます"},
        {20149, "入力コメント全文を確認"},
        {20150, "配置位置x座標（Gifの左上座標[0, 0]からの相対座標）\nRange:[0 - 65535]"},
        {20151, "配置位置y座標（Gifの左上座標[0, 0]からの相対座標）\nRange:[0 - 65535]"},
        {20152, "イメージの横幅"},
        {20153, "イメージの縦幅"},
        {20154, "Local Color Table（個別パレット）を使用するなら[ON]\nGlobal Color Table（共通パレット）を使用するなら[OFF]"},
        {20155, "透過色に設定されている色の情報\n※ 透過色はフレーム毎に指定可"},
        {20156, "次フレーム表示判定にユーザー入力を有効にするなら[ON]\n待機時間のみで判定するなら[OFF]"},
        {20157, "画像の処理方法\n詳細希望者は 解説.html 参照"},
        {20158, "次のフレームを表示するまでの待機時間（1/100秒単位）\nRange:[0 - 65535]"},
        {20159, "未設定"},
        {20160, "[%d]：[#%06X]"},
        {20161, "ＭＳ ゴシック"},
        {20162, "のｺﾋﾟｰ"},
        // image view and player
        {20163, "イメージ ビュー"},
        {20164, "%s%d ms."},
        {20165, "ユーザー入力待ち中...  "},
        {20166, "カラーテーブルのサイズが不足しています"},
        {20178, "再生/停止"},
        {20179, "早送り"},
        {20180, "コマ送り"},
        {20181, "再生スピード調整\n左から [1/4] - [1/2] - [1] - [2] - [4] 倍速"},
        {20182, "透過色を反映した状態で表示するなら[ON]"},
        {20183, "表示倍率\n左から [1/2] - [1] - [2] - [4] - [8] 倍"},
        // message captions and texts
        {21000, "残念なお知らせです"},
        {21001, "ColorPaletteについて"},
        {21002, "エラー"},
        {21003, "エラー"},
        {21004, "終了確認"},
        {21005, "削除確認"},
        {21007, "更新確認"},
        {21008, "更新確認"},
        {21009, "仕様確認"},
        {21010, "GIFの領域からはみ出すフレームがあります"},
        {21011, "Global Paletteの色数が足りません"},
        {21012, "読込確認"},
        {21013, "不正なファイルです"},
        {21014, "確認"},
        {21015, "保存確認"},
        {21500, "あなたが wota だと言う事は判った。\nだが %s のバージョンが低いため期待に沿えない事があるかもしれない。\n\n"
                "例えばいきなり素のメッセージを表示する事があるかもしれないが…\n「ヲタをなめてんのか！」 とか叫んでブチ切れないように。"},
        {21501, "画面のフォントが「小さいフォント」（96dpi）でないのでパレットの表示位置が少しズレます。"},
        {21502, "処理に失敗しました。"},
        {21503, "初期化処理に失敗しました。"},
        {21504, "終了します。"},
        {21505, "全てのフレーム情報を削除します。"},
        {21507, "全てのフレームに現在の設定を反映します。"},
        {21508, "全てのフレームデータの「Local Color Tableを使用」項目を有効にする必要があります\nよろしいですか？"},
        {21509, "Global Color Table を設定していない場合は外す事はできません。"},
        {21510, "GIFの領域からはみ出しているフレームが存在します。\nはみ出している部分は画面に表示されない可能性がありますが\nよろしいですか？"},
        {21511, "グローバルカラーテーブルのサイズが小さいため色数が足りないフレームがあります。\nグローバルカラーテーブルのサイズを大きくするか、ローカルカラーテーブルを\n使用するようにしてください。"},
        {21512, "Global PaletteにパレットをLoadします。"},
        {21513, "%s\n\n上記ファイルは対応していない or 壊れています。"},
        {21514, "処理に失敗しました。\n\n※256色より多くの色を扱うBMPには基本的にパレットは存在しません。"},
        {21515, "Local Color Table のサイズを変更しようとしています。\nサイズを変更するとGIFは再構築されることになります。\nよろしいですか？"},
        // the question before a changed document is replaced or discarded,
        // with its buttons, and a plug-in's settings that could not be shown
        {21516, "変更内容がプロジェクトファイルに保存されていません。\nプロジェクトファイルに保存しますか？"},
        {21517, "保存する(&S)"},
        {21518, "保存しない(&N)"},
        {21519, "トランジションの設定を表示できませんでした。"},
        // the main window's menu: popup titles, then items by command number
        {12901, "ファイル(&F)"},
        {12902, "編集(&E)"},
        {12903, "ウィンドウ(&W)"},
        {12904, "ヘルプ(&H)"},
        {12905, "現在の設定を全フレームに適用(&S)"},
        {32771, "開く(&O)...\tCtrl+O"},
        {32772, "保存(&S)...\tCtrl+S"},
        {32773, "プロジェクトファイルを開く(&P)"},
        {32774, "プロジェクトファイルの保存(&Q)"},
        {57665, "終了(&X)"},
        {32793, "元に戻す(&Z)\tCtrl+Z"},
        {32794, "やり直し(&Y)\tCtrl+Y"},
        {32775, "フレーム情報を全て削除(D)\tCtrl+Del"},
        {32776, "全て選択(&A)\tCtrl+A"},
        {32801, "選択したフレームを逆順に並べる(&R)"},
        {32779, "配置位置(&P)"},
        {32780, "LocalColorTableフラグ(&L)"},
        {32781, "透過色(&T)"},
        {32782, "ユーザー入力(&U)"},
        {32783, "画像の処理方法(&B)"},
        {32784, "待機時間(&W)"},
        {32785, "現在の設定で最適化(&O)..."},
        {32786, "パレットを統一する(&U)..."},
        {32787, "画面トランジション挿入(&T)"},
        {32788, "現在の設定でプレビュー(&P)\tCtrl+P"},
        {32789, "カラーパレット(&C)\tShift+C"},
        {32790, "イメージビュー(&I)\tShift+I"},
        {32791, "設定(&S)..."},
        {32792, "ホームページへ(&H)"},
        {57664, "バージョン情報(&A)..."},
        // the main window's panels
        {1041, "横幅："},
        {1043, "縦幅："},
        {1045, "Just"},
        {1046, "Global Color Table を作成"},
        {1048, "繰り返し再生"},
        {1050, "回"},
        {1052, "コメント"},
        {1054, "確認"},
        {1056, "ｘ座標："},
        {1058, "ｙ座標："},
        {1060, "Local Color Table を使用"},
        {1061, "待機時間："},
        {1062, "/100 秒"},
        {1063, "横幅："},
        {1064, "縦幅："},
        {1065, "透過色："},
        {1066, "ユーザー入力"},
        {1067, "画像の処理方法："},
        {1068, "背景色："},
        // the settings dialog, and the OK and Cancel of every dialog
        {210, "設定"},
        {1281, "カラーパレット と イメージビュー はタスクバーに表示しない"},
        {1282, "コメントに日本語を使用する　※GIFの仕様から外れます"},
        {1283, "起動時に、前回終了時のウィンドウの状態を復元する"},
        {1284, "wota である"},
        {2, "ｷｬﾝｾﾙ"},
        {1, "OK"},
        // file dialogs' filters
        {20004, "zell Supported Format (gif, bmp, jpeg, png)|*.gif;*.bmp;*.jpg;*.jpeg;*.png|Graphics Interchange Format (*.gif)|*.gif|All Files (*.*)|*.*||"},
        {20005, "Graphics Interchange Format (*.gif)|*.gif|All Files (*.*)|*.*||"},
        {20006, "Palette File (gif, bmp)|*.gif;*.bmp|All Files (*.*)|*.*||"},
        {20007, "zell Project File (zpj)|*.zpj||"},
        // the palette window
        {20127, "準備中 or 初期化失敗"},
        {20128, "Global Color Tableを表示"},
        {20129, "Local Color Tableを表示"},
        {20130, "色情報編集モード"},
        {20131, "背景色設定モード\n※ Global Paletteでのみ"},
        {20132, "透過色設定モード"},
        {20133, "ファイルからColor TableをLoadする\n※ Global Paletteでのみ"},
        {20134, "Color Tableの色数"},
        {1121, "Global Palette"},
        {1122, "Local Palette"},
        {1123, "色編集"},
        {1124, "背景色"},
        {1125, "透過色"},
        {1126, "Palette Load"},
        {1127, "色数："},
        // the open dialog and the dropped-file dialog; their load boxes share
        // control numbers with the main window's panels, so they are kept under
        // numbers of their own
        {205, "開く"},
        {207, "GifをLoad"},
        {1160, "リストへの追加方法"},
        {1161, "先頭に挿入"},
        {1162, "現在位置に挿入"},
        {1163, "末尾に追加"},
        {1164, "全削除して追加"},
        {1165, "プレビュー"},
        {1168, "Dropされた他のファイルにもこの設定を使用する （以降ダイアログは表示しない）"},
        {20546, "Global Color TableもLoadする （在る場合）"},
        {20552, "コメントもLoadする （在る場合）"},
        {20553, "PNG・BMPの透明な部分を透過色にする"},
        {20554, "256色を超える画像はディザリングする"},
        // the save dialog
        {206, "名前を付けて保存"},
        {1221, "最適化してファイルサイズを減らす"},
        {1224, "透過色を利用して圧縮効率upを狙う"},
        {1225, "画面イメージに変化を与えないフレームは削除する"},
        {1226, "透過色が設定されているフレームのみを対象とする"},
        {1227, "透過色が未設定のフレームも対象とする　（透過色を自動設定）"},
        {1228, "透過色が未設定のフレームも対象とする　（画素を変えずに透過色を追加）"},
        {1229, "削除したフレームの待機時間を前のフレームに加える"},
        // the optimise dialog
        {208, "最適化"},
        // the unify-palettes dialog; its list entries and tool tips are kept
        // under numbers of their own
        {209, "パレットを統一する"},
        {1223, "※ 対象となったフレームのイメージは統一後のパレットで再構築されるため、元のイメージと若干異なる場合があります。"},
        {1241, "条件１ :"},
        {1242, "条件２ :"},
        {1243, "Global Paletteを使用するように設定"},
        {1244, "背景色用の色を１つ確保する"},
        {1245, "透過色用の色を１つ確保する"},
        {1246, "透過色用に確保した色を使用するように設定"},
        {20901, "全てのフレーム"},
        {20902, "選択されているフレーム"},
        {20903, "%d 色パレットを持つフレーム"},
        {20904, "%d 色"},
        {20905, "対象とするフレームの選別条件 %d"},
        {20906, "対象としたフレームは Global Table を使用するように設定"},
        {20907, "確保した透過色を、現在透過色が未設定のフレームにも適用"},
        {20908, "統一後のパレットの色数を指定"},
        {20909, "背景色専用として色を１つ確保して、現在の背景色を完全保護"},
        {20910, "透過色専用として色を１つ確保\n透過色を設定しているフレームが対象になっている場合は\nDefaultでON"},
        // the transition dialog; its preview shares the control numbers of
        // "次フレーム" and "指定色", so the preview's buttons are kept under
        // numbers of their own
        {211, "画面トランジション挿入"},
        {1323, "次フレーム"},
        {1324, "指定色"},
        {1326, "追加情報入力"},
        {1327, "プレビュー"},
        {1328, "遷移パターン："},
        {1329, "遷移段階数："},
        {1331, "遷移速度："},
        {20911, "遷移元"},
        {20912, "遷移先"},
        {20913, "(%d, %d, %d)"},
        // the transition's preview
        {212, "トランジション - プレビュー"},
        {20914, "再生"},
        {20915, "停止"},
        {20916, "終了"},
        // tool windows
        {203, "カラーパレット"},
        {204, "イメージビュー"},
        // the about box and the home-page message
        {201, "zellのﾊﾞｰｼﾞｮﾝ情報"},
        {1003, "E-Mail"},
        {21006, "エラー"},
        {21506, "ホームページを開くことができませんでした。\n下記のURLにアクセスをお願いします。\n%s"},
    };
    return texts;
}

struct StringLibrary {
    std::map<int, std::string> texts;
};

std::optional<StringLibrary>& library()
{
    static std::optional<StringLibrary> loaded;
    return loaded;
}

std::string unescape(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    }
    return out;
}

bool readLibrary(const std::string& path, StringLibrary& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0)
            continue;
        int id = 0;
        bool number = true;
        for (size_t i = 0; i < tab; ++i) {
            number = number && line[i] >= '0' && line[i] <= '9' && id < 100000;
            id = id * 10 + (line[i] - '0');
        }
        if (number)
            out.texts[id] = unescape(std::string_view(line).substr(tab + 1));
    }
    return true;
}

} // namespace

QString ownText(int id)
{
    auto it = table().find(id);
    return it == table().end() ? QString() : QString::fromUtf8(it->second);
}

QString loadText(int id)
{
    if (const auto& lib = library()) {
        auto it = lib->texts.find(id);
        if (it != lib->texts.end() && !it->second.empty())
            return QString::fromUtf8(it->second);
    }
    return ownText(id);
}

void loadStringLibrary(const Profile& profile, const std::string& path)
{
    if (profile.readString("are you", "wota?", "no") != "yes")
        return;
    StringLibrary lib;
    if (!readLibrary(path, lib))
        return;
    // A table without a version text is as old as can be.
    auto version = lib.texts.find(kStringLibraryVersionId);
    const bool old = version == lib.texts.end() || version->second < kStringLibraryVersion;
    library() = std::move(lib);
    if (old) {
        QString text = ownText(Text::OldStringLibrary);
        text.replace(QStringLiteral("%s"), QString::fromUtf8(kStringLibraryName));
        showPlainMessage(nullptr, text, ownText(Text::OldStringLibraryCaption), MessageStyle::OkExclamation);
    }
}

void freeStringLibrary()
{
    library().reset();
}

bool stringLibraryLoaded()
{
    return library().has_value();
}

} // namespace zell
