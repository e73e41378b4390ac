import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * Every adapter call is a round trip to the server: over the whole road (JNI, libdln, TCP,
 * dln-sim), write makes its connection sequence and its one transfer, nothing more.
 */
public class CallCountTest {
    @TempDir
    Path dir;

    public static void writeTwiceChild() {
        for (int i = 0; i < 2; i++) {
            int[] slots = new int[255];
            slots[0] = 0x50;
            slots[1] = 1;
            slots[2] = 0x10;
            I2C_DLN.write(slots);
        }
    }

    @Test
    void eachWriteMakesNineAdapterCalls() throws Exception {
        Path trace = dir.resolve("trace.txt");
        try (SimServer sim = SimServer.start(RawI2cTest.SCENARIO, trace)) {
            NativeRun run = NativeRun.run("CallCountTest#writeTwiceChild", dir);
            assertEquals(0, run.exitCode, run.stderr);
        }
        List<String> calls = new ArrayList<>();
        for (String line : Files.readAllLines(trace)) {
            calls.add(line.split(" ")[1]);
        }
        List<String> one = List.of("DlnConnect", "DlnOpenDevice", "DlnGetVersion",
                "DlnI2cMasterGetPortCount", "DlnI2cMasterGetFrequency", "DlnI2cMasterEnable",
                "DlnI2cMasterWrite", "DlnCloseHandle", "DlnDisconnect");
        List<String> two = new ArrayList<>(one);
        two.addAll(one);
        assertEquals(two, calls);
    }
}
