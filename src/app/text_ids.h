// A name for every text number the code uses, so that a call reads
// loadText(Text::OptimizeCommand). The numbers are the keys of the text
// tables (resources/texts/*.txt) and of replacement tables, so they never change.
// A name says what the text is for; a suffix says where it shows when the
// place is not plain: ...Menu and ...Command (a menu and its items; a
// command's number is also the command's), ...Title (a window), ...Tip (a
// tool tip), ...Heading (a column of the frame list), ...Caption (a message
// box's caption beside its text), ...Filter (a file dialog's filters),
// ...Format (a pattern with %d or %s). A dialog's labels, boxes and buttons
// go without suffix; their number is also the control's.
#pragma once

namespace zell::Text {

enum Id : int {
    Ok = 1,
    Cancel = 2,

    // window titles
    AboutTitle = 201,
    PaletteWindowTitle = 203,
    ImageViewTitle = 204,
    OpenImagesTitle = 205,
    SaveGifTitle = 206,
    OpenDroppedFileTitle = 207,
    OptimizeTitle = 208,
    UnifyPalettesTitle = 209,
    SettingsTitle = 210,
    InsertTransitionTitle = 211,
    TransitionPreviewTitle = 212,
    SpeedTitle = 213,
    ResizeTitle = 214,
    CropTitle = 215,
    ThinOutTitle = 216,
    ClipImportTitle = 217,

    // the main window's menus
    FileMenu = 12901,
    EditMenu = 12902,
    WindowMenu = 12903,
    HelpMenu = 12904,
    ApplyToAllMenu = 12905,
    TransformMenu = 12906,
    OpenImagesCommand = 32771,
    SaveGifCommand = 32772,
    OpenProjectCommand = 32773,
    SaveProjectCommand = 32774,
    DeleteAllCommand = 32775,
    SelectAllCommand = 32776,
    // Copy one attribute of the current frame to every frame, in the order
    // of ApplyKind.
    ApplyPositionCommand = 32779,
    ApplyLocalTableCommand = 32780,
    ApplyTransparentCommand = 32781,
    ApplyUserInputCommand = 32782,
    ApplyDisposalCommand = 32783,
    ApplyDelayCommand = 32784,
    OptimizeCommand = 32785,
    UnifyPalettesCommand = 32786,
    InsertTransitionCommand = 32787,
    PreviewCommand = 32788,
    TogglePaletteCommand = 32789,
    ToggleImageViewCommand = 32790,
    SettingsCommand = 32791,
    HomePageCommand = 32792,
    UndoCommand = 32793,
    RedoCommand = 32794,
    ReverseFramesCommand = 32801,
    PingPongCommand = 32802,
    Rotate90Command = 32803, // then the other turns and mirrors, in PictureTransform order
    Rotate180Command = 32804,
    Rotate270Command = 32805,
    FlipHorizontalCommand = 32806,
    FlipVerticalCommand = 32807,
    ThinOutCommand = 32808,
    SpeedCommand = 32809,
    ResizeCommand = 32810,
    CropCommand = 32811,
    AboutCommand = 57664,
    ExitCommand = 57665,

    // the whole-animation panel
    ScreenWidth = 1041,
    ScreenHeight = 1043,
    FitScreen = 1045, // the screen made as large as the frames need
    MakeGlobalTable = 1046,
    Loop = 1048,
    LoopCountUnit = 1050,
    Comment = 1052,
    ShowComment = 1054, // the whole comment in a box of its own
    Background = 1068,
    ScreenWidthTip = 20139,
    ScreenHeightTip = 20140,
    FitScreenTip = 20141,
    MakeGlobalTableTip = 20142,
    BackgroundTip = 20143,
    LoopTip = 20144,
    LimitLoopTip = 20145,
    LoopCountTip = 20146,
    CommentTip = 20147,
    CommentTextTip = 20148, // the comment should be 7-bit ASCII
    ShowCommentTip = 20149,

    // the frame's property panel
    FrameLeft = 1056,
    FrameTop = 1058,
    UseLocalTable = 1060,
    Delay = 1061,
    DelayUnit = 1062,
    FrameWidth = 1063,
    FrameHeight = 1064,
    TransparentColor = 1065,
    UserInput = 1066,
    Disposal = 1067,
    DisposalUnspecified = 20135,
    DisposalKeep = 20136,
    DisposalToBackground = 20137,
    DisposalToPrevious = 20138,
    FrameLeftTip = 20150,
    FrameTopTip = 20151,
    FrameWidthTip = 20152,
    FrameHeightTip = 20153,
    UseLocalTableTip = 20154,
    TransparentColorTip = 20155,
    UserInputTip = 20156,
    DisposalTip = 20157,
    DelayTip = 20158,
    NoColor = 20159,
    ColorEntryFormat = 20160,
    FixedFontFamily = 20161,

    // the frame list: context menu, headings and cells
    ShowFrameCommand = 20101,
    RenameFrameCommand = 20102,
    DuplicateFramesCommand = 20103,
    DeleteFramesCommand = 20104,
    MoveToTopCommand = 20105,
    MoveUpCommand = 20106,
    MoveDownCommand = 20107,
    MoveToEndCommand = 20108,
    NumberHeading = 20111,
    NameHeading = 20112,
    PositionHeading = 20113,
    SizeHeading = 20114,
    ColorCountHeading = 20115,
    LocalTableHeading = 20116,
    UserInputHeading = 20117,
    TransparentHeading = 20118,
    DisposalHeading = 20119,
    DelayHeading = 20120,
    PositionFormat = 20121,
    SizeFormat = 20122,
    OnMark = 20123,
    OffMark = 20124,
    NoneMark = 20125,
    CopyNameSuffix = 20162, // appended to a duplicated frame's name

    // the image view
    ImageViewFrameTitle = 20163, // followed by "[shown / total]"
    WaitFormat = 20164,
    WaitingForInput = 20165,
    TableTooSmall = 20166,
    PlayTip = 20178,
    FastForward = 20179,
    FrameStep = 20180,
    SpeedTip = 20181,
    ShowTransparencyTip = 20182,
    ZoomTip = 20183,
    TransparencyButton = 20009,
    ShowComposedTip = 20184,
    ComposedButton = 20185,

    // the palette window
    GlobalPalette = 1121,
    LocalPalette = 1122,
    EditColor = 1123, // then the background and transparent picks, in Mode order
    PickBackground = 1124,
    PickTransparent = 1125,
    LoadPalette = 1126,
    ColorCount = 1127,
    GlobalPaletteTip = 20128,
    LocalPaletteTip = 20129,
    EditColorTip = 20130,
    PickBackgroundTip = 20131,
    PickTransparentTip = 20132,
    LoadPaletteTip = 20133,
    ColorCountTip = 20134,

    // file dialogs: filters, then the options of opening and saving
    OpenImagesFilter = 20004,
    GifFilter = 20005,
    PaletteFilter = 20006,
    ProjectFilter = 20007,
    InsertionMode = 1160,
    InsertAtStart = 1161, // then the other modes, in InsertMode order
    InsertAtCurrent = 1162,
    AppendAtEnd = 1163,
    ReplaceAll = 1164,
    ShowPreview = 1165,
    UseForOtherDrops = 1168,
    LoadGlobalTable = 20546,
    LoadComment = 20552,
    AlphaToTransparent = 20553,
    DitherManyColors = 20554,
    OptimizeOnSave = 1221,

    // the optimiser's options, when saving and in the optimise dialog
    UseTransparency = 1224,
    DropUnchangedFrames = 1225,
    OnlyTransparentFrames = 1226,
    AllFramesAutoTransparent = 1227,
    AllFramesLossless = 1228,
    KeepDroppedDelay = 1229,

    // the unify-palettes dialog
    UnifyNote = 1223,
    FirstCondition = 1241,
    SecondCondition = 1242,
    UseGlobalPalette = 1243,
    ReserveBackground = 1244,
    ReserveTransparent = 1245,
    UseReservedTransparent = 1246,
    AllFrames = 20901,
    SelectedFrames = 20902,
    FramesWithColorsFormat = 20903,
    ColorsFormat = 20904,
    ConditionTipFormat = 20905,
    UseGlobalPaletteTip = 20906,
    UseReservedTransparentTip = 20907,
    UnifiedColorCountTip = 20908,
    ReserveBackgroundTip = 20909,
    ReserveTransparentTip = 20910,

    // the transition dialog and its preview
    ToNextFrame = 1323,
    ToColor = 1324,
    PluginSettings = 1326,
    PreviewTransition = 1327,
    TransitionPattern = 1328,
    TransitionSteps = 1329,
    TransitionSpeed = 1331,
    TransitionFrom = 20911,
    TransitionTo = 20912,
    RgbFormat = 20913,
    PreviewPlay = 20914,
    PreviewStop = 20915,
    PreviewClose = 20916,
    // the built-in patterns, in the order of the pattern list
    CrossFadePattern = 20801,
    DissolvePattern = 20802,
    HorizontalSlidePattern = 20803,
    VerticalSlidePattern = 20804,
    HorizontalBlindsPattern = 20805,
    VerticalBlindsPattern = 20806,
    DiscPattern = 20807,
    WobblePattern = 20808,

    // the edit dialogs: thin out, speed, resize
    KeepEvery = 1401,
    KeepEveryUnit = 1402,
    ScaleSpeed = 1403,
    ScaleSpeedNote = 1404,
    SetDelay = 1405,
    Percentage = 1406,
    KeepAspect = 1407,
    ScaleFilterLabel = 1408,
    SmoothFilter = 1409,
    NearestFilter = 1410,
    Dither = 1411,

    // the clip import panel (with ScreenWidth, ScreenHeight and Dither)
    ClipFrameRate = 1501,
    ClipFpsUnit = 1502,
    ClipStart = 1503,
    ClipEnd = 1504,
    SecondsUnit = 1505,
    ClipToTheEnd = 1506, // the end of a clip that does not know its length
    ClipPaletteGroup = 1507,
    SharedPalette = 1508,
    PerFramePalette = 1509,
    DiffusionDither = 1510,
    OrderedDither = 1511,
    NoDither = 1512,
    ClipSourceFormat = 1513, // width, height, seconds as text
    ClipFrameEstimateFormat = 1514,
    ClipOwnRateFormat = 1515, // the highest rate it keeps

    // the settings dialog and the about box
    HideToolWindowsFromTaskbar = 1281,
    AllowJapaneseComment = 1282,
    RestoreWindows = 1283,
    UseStringLibrary = 1284,
    LanguageChoice = 1285,
    LanguageNote = 1286, // the choice takes effect at the next start
    LanguageAutomatic = 20017,
    LanguageJapanese = 20018,
    LanguageEnglish = 20019,
    Email = 1003,
    AboutVersionFormat = 20010,
    AboutNoticeFormat = 20011, // the Qt versions built with and running on

    // the command line
    CommandLineHelp = 20020,
    BadLanguageOption = 20021,

    // what a progress dialog counts, and its text once Cancel was pressed
    FramesUnit = 20012,
    FilesUnit = 20013,
    BytesUnit = 20014,
    PicturesUnit = 20015,
    Stopping = 20016,

    // message boxes: each text, then its caption
    OldStringLibrary = 21500,
    OldStringLibraryCaption = 21000,
    OperationFailed = 21502,
    ErrorCaption = 21002,
    BitmapHasNoPalette = 21514, // with ErrorCaption
    ConfirmQuit = 21504,
    ConfirmQuitCaption = 21004,
    ConfirmDeleteAll = 21505,
    ConfirmDeleteAllCaption = 21005,
    HomePageFailed = 21506,
    HomePageFailedCaption = 21006,
    ConfirmApplyToAll = 21507,
    ConfirmApplyToAllCaption = 21007,
    ConfirmLocalTablesForAll = 21508,
    ConfirmLocalTablesForAllCaption = 21008,
    GlobalTableNeeded = 21509,
    GlobalTableNeededCaption = 21009,
    ConfirmOutsideScreen = 21510,
    ConfirmOutsideScreenCaption = 21010,
    GlobalTableTooSmall = 21511,
    GlobalTableTooSmallCaption = 21011,
    ConfirmLoadPalette = 21512,
    ConfirmLoadPaletteCaption = 21012,
    UnsupportedFile = 21513,
    UnsupportedFileCaption = 21013,
    ConfirmResizeLocalTable = 21515,
    ConfirmResizeLocalTableCaption = 21014,
    SaveChangesQuestion = 21516,
    SaveChangesQuestionCaption = 21015,
    SaveButton = 21517,
    DontSaveButton = 21518,
    PluginSettingsFailed = 21519, // with ErrorCaption
    ConfirmManyFrames = 21550, // the estimate, the limit
    ConfirmManyFramesCaption = 21050,

    // why a file or a command failed, told after the file's name
    CannotReadReason = 21520,
    EmptyFileReason = 21521,
    FileTooLargeFormat = 21522,
    FileChangedReason = 21523,
    NotSupportedReason = 21524,
    DamagedReason = 21525,
    PictureTooLargeReason = 21526,
    PixelLimitFormat = 21527, // width, height, the limit
    WorkFolderFormat = 21528,
    CannotWriteIntoFormat = 21529,
    CannotWriteReason = 21530,
    NoFramesReason = 21531,
    CancelledReason = 21532,
    TooManyColorsReason = 21533, // an edit's failures, with ErrorCaption
    NoChangeReason = 21534,
    DelaysHeld = 21535, // with SpeedTitle
    OptimizeReport = 21536, // with OptimizeTitle: frames and bytes before and after
    TooManyFramesReason = 21560, // a clip stretch beyond the frame limit
    LossyLevel = 21561,          // the optimisation panels' quality control
    SizeEstimating = 21562,      // the size estimate while it is measured
    SizeEstimated = 21563,       // the size estimate: bytes
    SizeUnknown = 21564,         // the size estimate when measuring failed
    FitInSize = 21565,           // the save dialog's size limit, in kilobytes
    SizeNotReached = 21566,      // with SaveGifTitle: the limit and the smallest size
    SizeReached = 21567,         // with SaveGifTitle: the lossy level chosen and the size
    SizeReachedColors = 21568,   // with SaveGifTitle: the colour count, lossy level and size chosen
};

} // namespace zell::Text
