<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>App</name>
    <message>
        <source>Not a file, not opened: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Canvas</name>
    <message numerus="yes">
        <source>%n object(s) in the scene</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Window</name>
    <message>
        <source>3D View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slice View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>|&lt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>First slice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous slice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next slice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&gt;|</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last slice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete this slice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Uniform scale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size (mm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move (mm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate (°)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Align</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Top</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Align the tops (largest y)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Middle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Align the centres in y</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Align the bottoms (smallest y)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Equal X</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Equal gaps along x</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Align the left sides (smallest x)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Center</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Align the centres in x</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Align the right sides (largest x)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Equal Y</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Equal gaps along y</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 Point</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2 Points</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Support opacity (%)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Support preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Water line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drain hole</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Diameter (mm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Height (mm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slicing quality</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slice preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Variable slicing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Layer steps follow the surface angle.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flex slice ranges</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hollow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hollowing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display resolution (px)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pixel size (µm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Se&amp;ttings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Language</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tool bar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Scene</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start a new scene</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load Models...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load .stl or .obj files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load Scene...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load a scene file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save Scene...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the scene into a file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save as LPK...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save slices into LPK format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load LPK...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a print package</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save slices into CWS format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Slices</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export STL...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export the scene as one STL file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duplicate Models</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duplicate the selected model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Models</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete the selected models</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip Models</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move to Bottom</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Put the selected models on the plate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear Models</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Erase all models</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Group the selected models</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ungroup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ungroup the selected models</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Isometric</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Front</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto Supports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create a Base</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add a Global Base</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create a Ring Base</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add a Grid Base</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Support Linkers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drain Hole</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Raft</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Draw on Slice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer Setting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exposure Calibration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save setting and recipe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save recipe file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Initialization completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;Error:&lt;/b&gt;&lt;br&gt;No setting file found&lt;br&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A model is still being read; %1 was not opened.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not read the model file %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scene files cannot be opened by this version: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scene files cannot be opened by this version.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t add models in support mode.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load .stl or .obj file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>STL, OBJ(*.stl *.obj);;O3D (*.o3d);;All Files(*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please choose STL or OBJ format files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unsaved scene changes will be discarded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Only local files can be opened: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure to close Orvell3D?
</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>settingSelect</name>
    <message>
        <source>Select a setting file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Setting files in the data folder:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
