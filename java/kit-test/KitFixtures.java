import static org.junit.platform.engine.discovery.DiscoverySelectors.selectClass;

import java.util.Arrays;
import org.junit.platform.launcher.core.LauncherDiscoveryRequestBuilder;
import org.junit.platform.launcher.core.LauncherFactory;
import org.junit.platform.launcher.listeners.SummaryGeneratingListener;
import org.junit.platform.launcher.listeners.TestExecutionSummary;

/**
 * Runs test classes that a kit test launches itself: its fixtures, enabled only while it runs
 * them (by the system property kit.fixtures), so that the class-path scan leaves them out.
 */
final class KitFixtures {
    private KitFixtures() {
    }

    static TestExecutionSummary run(Class<?>... fixtures) {
        SummaryGeneratingListener listener = new SummaryGeneratingListener();
        System.setProperty("kit.fixtures", "on");
        try {
            LauncherFactory.create().execute(LauncherDiscoveryRequestBuilder.request()
                    .selectors(Arrays.stream(fixtures).map(c -> selectClass(c)).toList())
                    .build(), listener);
        } finally {
            System.clearProperty("kit.fixtures");
        }
        return listener.getSummary();
    }
}
